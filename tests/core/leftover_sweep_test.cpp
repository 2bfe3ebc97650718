// Temporary names, process tags, owner locks and the sweeps: a run removes exactly the
// temporaries of processes that have ended, never those of running processes (in any PID
// namespace) or a user's files; clean removes what a job's processes left, on any machine.
#include "core/leftover_sweep.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/owner_lock.h"
#include "core/pending_file.h"
#include "core/process_tag.h"
#include "core/temporary_name.h"
#include "support/leftovers.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::EndedProcess;
using testing::EntryNames;
using testing::RunningChild;
using testing::SeedTemporaries;
using testing::TempDirTest;
using testing::WriteFile;
using testing::WriteOwnerLock;

namespace fs = std::filesystem;

extern "C" char** environ;

TEST(TemporaryNameTest, OwnerReadsBackOnlyFromNamesOfTheScheme) {
  const ProcessTag owner{0x0badcafe, 4242, 987654321};
  const std::string stem = TemporaryStem(owner, 0x0000beef);
  EXPECT_EQ(stem, ".terravox-0badcafe-4242-987654321-0000beef");
  struct Row {
    std::string name;
    bool owned;
  };
  const Row rows[] = {
      {stem + ".tmp", true},
      {stem + ".shp", true},
      {stem + ".shp.xml", true},
      {stem, false},
      {stem + ".", false},
      {stem + ".tmp-1", false},
      {stem + ".a-very-long-suffix", false},
      {stem.substr(1) + ".tmp", false},
      {".terravox-0badcafe-4242-987654321.tmp", false},
      {".terravox-0badcafe-4242-987654321-0000beef-1.tmp", false},
      {".terravox-0BADCAFE-4242-987654321-0000beef.tmp", false},
      {".terravox-0badcafe-04242-987654321-0000beef.tmp", false},
      {".terravox-0badcafe-+4242-987654321-0000beef.tmp", false},
      {".terravox-badcafe-4242-987654321-0000beef.tmp", false},
      {".terravox-0badcafe-4242-99999999999999999999999-0000beef.tmp", false},
      {".terravox-12-34-56.tmp", false},
      {"contour_0000beef.shp", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::optional<ProcessTag> read = TemporaryOwner(row.name);
    EXPECT_EQ(read.has_value(), row.owned);
    if (read && row.owned) {
      EXPECT_EQ(*read, owner);
    }
  }
  // Fresh stems name this process and differ from each other.
  const std::string fresh = NewTemporaryStem();
  EXPECT_EQ(TemporaryOwner(fresh + ".tmp"), ThisProcess());
  EXPECT_NE(fresh, NewTemporaryStem());
}

TEST(ProcessTagTest, StateTellsRunningEndedAndUnknownProcesses) {
  const ProcessTag self = ThisProcess();
  ASSERT_EQ(self.pid, ::getpid());
  ASSERT_NE(self.start, 0u);
  EXPECT_EQ(ProcessStartTime(self.pid), self.start);
  RunningChild child;
  ProcessTag reused = self;  // our process id as an earlier process had it
  reused.start -= 1;
  ProcessTag other_machine = self;
  other_machine.machine ^= 1;
  ProcessTag no_pid = self;
  no_pid.pid = 0;
  ProcessTag no_start = child.tag();  // made where /proc was not to be read
  no_start.start = 0;
  struct Row {
    const char* name;
    ProcessTag tag;
    ProcessState state;
  };
  const Row rows[] = {
      {"this process", self, ProcessState::kRunning},
      {"running child", child.tag(), ProcessState::kRunning},
      {"ended child", EndedProcess(), ProcessState::kGone},
      {"reused process id", reused, ProcessState::kGone},
      {"another machine", other_machine, ProcessState::kUnknown},
      {"no process id", no_pid, ProcessState::kUnknown},
      {"no start time", no_start, ProcessState::kUnknown},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(StateOf(row.tag), row.state);
  }
}

class LeftoverSweepTest : public TempDirTest {};

TEST_F(LeftoverSweepTest, RemovesExactlyTheTemporariesOfEndedProcesses) {
  RunningChild child;
  const testing::SeededFolder seeded = SeedTemporaries(dir().string(), EndedProcess(), child.tag());
  ASSERT_EQ(EntryNames(dir().string()).size(), seeded.dead.size() + seeded.kept.size());

  EXPECT_EQ(RemoveDeadTemporaries(dir().string()), static_cast<int>(seeded.dead.size()));

  EXPECT_EQ(EntryNames(dir().string()), seeded.kept);
  EXPECT_EQ(RemoveDeadTemporaries(dir().string()), 0);
}

TEST_F(LeftoverSweepTest, AFolderThatCannotBeReadIsLeftAlone) {
  EXPECT_EQ(RemoveDeadTemporaries(PathIn("missing")), 0);
  EXPECT_FALSE(CleanTemporaries(PathIn("missing"), std::nullopt).status.ok());
}

TEST_F(LeftoverSweepTest, TheLockComesWithTheFirstTemporaryOfAFolderAndGoesWithTheLast) {
  const std::string lock = OwnerLockPath(dir().string(), ThisProcess());
  ::setenv("SLURM_ARRAY_JOB_ID", "4242", 1);
  ::setenv("TERRAVOX_SUBMISSION", "sub-1", 1);
  PendingFile first;
  PendingFile second;
  ASSERT_TRUE(first.Create(PathIn("a.asc")).ok());
  ASSERT_TRUE(second.Create(PathIn("b.asc")).ok());
  ::unsetenv("SLURM_ARRAY_JOB_ID");
  ::unsetenv("TERRAVOX_SUBMISSION");
  EXPECT_EQ(ProbeOwnerLock(lock), LockState::kHeld);
  EXPECT_EQ(LockSubmission(lock), "sub-1");
  ASSERT_TRUE(first.Commit().ok());
  EXPECT_EQ(ProbeOwnerLock(lock), LockState::kHeld);
  ASSERT_TRUE(second.Commit().ok());
  EXPECT_EQ(EntryNames(dir().string()), (std::vector<std::string>{"a.asc", "b.asc"}));
}

// The owner runs as process 1 of a PID namespace with its own /proc, as in a container: its
// process id and start time name nothing that runs out here, only its lock shows it alive.
TEST_F(LeftoverSweepTest, ALiveTemporaryInAnotherPidNamespaceStaysUntilItsOwnerIsGone) {
  const std::string folder = dir().string();
  int to_owner[2];
  int from_owner[2];
  ASSERT_EQ(pipe2(to_owner, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(from_owner, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_owner[0], 0);
  posix_spawn_file_actions_adddup2(&actions, from_owner[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args = {"unshare",
                                   "--user",
                                   "--map-root-user",
                                   "--pid",
                                   "--fork",
                                   "--mount-proc",
                                   TERRAVOX_BINARY_DIR "/tests/hold_temporary",
                                   folder};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, "unshare", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(to_owner[0]);
  close(from_owner[1]);
  char said[8] = {};
  const bool ready = spawned == 0 && read(from_owner[0], said, 6) == 6;
  const std::vector<std::string> held = EntryNames(folder);  // the temporary and its lock file
  if (ready) {
    EXPECT_EQ(RemoveDeadTemporaries(folder), 0);
    EXPECT_EQ(EntryNames(folder), held);
  }
  close(to_owner[1]);  // the owner ends at once, leaving both
  while (read(from_owner[0], said, sizeof said) > 0) {
  }
  close(from_owner[0]);
  if (spawned == 0) waitpid(pid, nullptr, 0);
  if (!ready) GTEST_SKIP() << "no PID namespaces for this user here";
  ASSERT_EQ(held.size(), 2u);
  EXPECT_EQ(EntryNames(folder), held);
  EXPECT_EQ(RemoveDeadTemporaries(folder), 2);
  EXPECT_TRUE(EntryNames(folder).empty());
}

// After a job: its owners that show no life go, on any machine, with or without their lock file;
// with a submission, only those whose lock file names it.
TEST_F(LeftoverSweepTest, CleanRemovesWhatNoLiveOwnerOfTheSubmissionHolds) {
  RunningChild child;
  ProcessTag other_machine = EndedProcess();
  other_machine.machine ^= 1;
  struct Owner {
    const char* name;
    ProcessTag tag;
    const char* submission;  // nullptr: no lock file
    bool held;
  };
  const Owner owners[] = {
      {"ended of 7", EndedProcess(), "7", false},
      {"ended of 8", EndedProcess(), "8", false},
      {"running of 7", child.tag(), "7", true},
      {"other machine of 7", other_machine, "7", false},
      {"ended without lock file", EndedProcess(), nullptr, false},
  };
  struct Row {
    std::optional<std::string> submission;
    std::vector<const char*> left;
  };
  const Row rows[] = {
      {"7", {"ended of 8", "running of 7", "ended without lock file"}},
      {std::nullopt, {"running of 7"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.submission.value_or("none"));
    const std::string folder = MakeDir(row.submission.value_or("none"));
    std::vector<std::shared_ptr<void>> locks;
    std::map<std::string, std::string> owner_of;  // temporary name -> owner
    for (const Owner& owner : owners) {
      const std::string name = TemporaryStem(owner.tag, 0x12345678) + ".tmp";
      WriteFile(folder + "/" + name, "half a grid");
      owner_of[name] = owner.name;
      if (owner.submission) {
        owner_of[fs::path(OwnerLockPath(folder, owner.tag)).filename().string()] = owner.name;
        locks.push_back(WriteOwnerLock(folder, owner.tag, owner.submission, owner.held));
      }
    }
    const CleanOutcome outcome = CleanTemporaries(folder, row.submission);
    EXPECT_TRUE(outcome.status.ok()) << outcome.status.description();
    EXPECT_EQ(outcome.live, 1);
    std::set<std::string> left;  // an owner whose temporary or lock file stays
    for (const std::string& name : EntryNames(folder)) left.insert(owner_of[name]);
    EXPECT_EQ(left, std::set<std::string>(row.left.begin(), row.left.end()));
  }
}

}  // namespace
}  // namespace terravox
