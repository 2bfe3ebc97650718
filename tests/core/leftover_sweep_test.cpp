// Temporary names, process tags and the sweep: a run removes exactly the temporaries of
// processes that have ended, never those of running processes or a user's files.
#include "core/leftover_sweep.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>

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
}

}  // namespace
}  // namespace terravox
