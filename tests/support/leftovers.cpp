// Ended and running child processes for the leftover tests, and the seeded folders.
#include "support/leftovers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>

#include "core/owner_lock.h"
#include "core/temporary_name.h"
#include "support/temp_dir_test.h"

namespace terravox::testing {
namespace {

namespace fs = std::filesystem;

// The tag of child pid, read while it cannot yet be waited away.
ProcessTag TagOf(pid_t pid) {
  ProcessTag tag = ThisProcess();
  tag.pid = pid;
  tag.start = ProcessStartTime(pid).value_or(0);
  EXPECT_NE(tag.start, 0u) << "no start time for " << pid;
  return tag;
}

std::string LastName(const std::string& path) { return fs::path(path).filename().string(); }

// The stem with its random part in capitals.
std::string UpperCaseRandom(std::string stem) {
  std::transform(stem.end() - 8, stem.end(), stem.end() - 8,
                 [](char c) { return static_cast<char>(std::toupper(c)); });
  return stem;
}

}  // namespace

ProcessTag EndedProcess() {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  EXPECT_GT(pid, 0);
  // Ended but not yet waited for: its /proc entry still tells the start time.
  siginfo_t info{};
  EXPECT_EQ(::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);
  ProcessTag tag = TagOf(pid);
  EXPECT_EQ(::waitpid(pid, nullptr, 0), pid);
  return tag;
}

RunningChild::RunningChild() {
  pid_ = ::fork();
  if (pid_ == 0) {
    ::pause();
    ::_exit(0);
  }
  EXPECT_GT(pid_, 0);
  tag_ = TagOf(pid_);
}

RunningChild::~RunningChild() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

std::shared_ptr<void> WriteOwnerLock(const std::string& folder, const ProcessTag& owner,
                                     const std::string& submission, bool held) {
  const std::string path = OwnerLockPath(folder, owner);
  WriteFile(path, "submission=" + submission + "\n");
  if (!held) return nullptr;
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  EXPECT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0) << path;
  return std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
}

SeededFolder SeedTemporaries(const std::string& folder, const ProcessTag& ended,
                             const ProcessTag& running_child, bool visible_lookalikes) {
  SeededFolder seeded;
  const std::string dead = TemporaryStem(ended, 0x1234abcd);
  WriteFile(folder + "/" + dead + ".tmp", "half an ASCII grid");
  const std::string dead_grid = TemporaryStem(ended, 0x00000001) + ".tmp";
  fs::create_directory(folder + "/" + dead_grid);
  WriteFile(folder + "/" + dead_grid + "/w001001.adf", "half a GRID");
  const std::string dead_shapefile = TemporaryStem(ended, 0xfeedf00d);
  for (const char* extension : {".shp", ".shx", ".dbf"}) {
    WriteFile((fs::path(folder) / (dead_shapefile + extension)).string(), "half a Shapefile");
    seeded.dead.push_back(dead_shapefile + extension);
  }
  seeded.dead.push_back(dead + ".tmp");
  seeded.dead.push_back(dead_grid);
  WriteOwnerLock(folder, ended, "", false);
  seeded.dead.push_back(LastName(OwnerLockPath(folder, ended)));
  seeded.held.push_back(WriteOwnerLock(folder, running_child, "", true));
  seeded.kept.push_back(LastName(OwnerLockPath(folder, running_child)));

  ProcessTag other_machine = ended;
  other_machine.machine ^= 1;
  WriteOwnerLock(folder, other_machine, "", false);
  seeded.kept.push_back(LastName(OwnerLockPath(folder, other_machine)));
  ProcessTag no_lock_file = ended;  // an earlier process of that id
  no_lock_file.start -= 1;
  const std::string kept[] = {
      TemporaryStem(ThisProcess(), 0xaaaaaaaa) + ".tmp",
      TemporaryStem(running_child, 0xbbbbbbbb) + ".shp",
      TemporaryStem(other_machine, 0xcccccccc) + ".tmp",
      TemporaryStem(no_lock_file, 0xdddddddd) + ".tmp",
      // A user's files that merely resemble temporaries.
      "contour_1234abcd.shp", ".terravox-notes.txt",
      dead,                                                        // no suffix
      dead + ".tmp-old",                                           // not a suffix of ours
      "x" + dead + ".tmp",                                         // not hidden
      UpperCaseRandom(TemporaryStem(ended, 0xabcdef12)) + ".tmp",  // never written so
  };
  for (const std::string& name : kept) {
    if (!visible_lookalikes && name[0] != '.') continue;
    WriteFile((fs::path(folder) / name).string(), "keep me");
    seeded.kept.push_back(name);
  }
  // A link is never a temporary of ours, whatever its name.
  const std::string dead_link = TemporaryStem(ended, 0x22222222) + ".tmp";
  fs::create_symlink("contour_1234abcd.shp", folder + "/" + dead_link);
  seeded.kept.push_back(dead_link);
  std::sort(seeded.dead.begin(), seeded.dead.end());
  std::sort(seeded.kept.begin(), seeded.kept.end());
  return seeded;
}

std::vector<std::string> EntryNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace terravox::testing
