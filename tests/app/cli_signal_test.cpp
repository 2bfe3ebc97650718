// terravox-cli run stopped by a signal while a 2000 x 3000 lattice is being gridded: exit 128 + the
// signal's number, only complete outputs and no temporaries in the folders, no log line for the
// interrupted file; a second SIGINT ends the process at once; a signal before the run has begun
// ends it with the same status.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_process.h"
#include "support/lattice_fixtures.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::kCli;
using ::terravox::testing::LatticeXyz;
using ::terravox::testing::ReadFile;
using ::terravox::testing::WriteFile;

// The big input, made once for all cases: 2000 x 3000 points, CR LF lines, long enough to grid
// that a signal sent once its caption shows arrives while it is under way.
const std::string& BigLattice() {
  static const std::string text = [] {
    std::string t;
    t.reserve(size_t{2000} * 3000 * 20);
    for (int y = 0; y < 3000; ++y) {
      for (int x = 0; x < 2000; ++x) {
        t += std::to_string(x * 2) + " " + std::to_string(y * 2) + " " +
             std::to_string(x / 7 + y / 5) + "\r\n";
      }
    }
    return t;
  }();
  return text;
}

struct Stopped {
  int exit_code = -1;
  std::string err;
};

// Reads from fd into text until it holds wanted (true) or the writer has gone (false).
bool ReadUntil(int fd, const std::string& wanted, std::string& text) {
  char buffer[4096];
  while (wanted.empty() || text.find(wanted) == std::string::npos) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

// Starts a run over folder's xyz files with stderr on a pipe, sends the signals once the caption
// of b.xyz shows (at once, with both signals held until the program takes them, when at_start),
// and waits for the end.
Stopped RunAndSignal(const std::string& folder, const std::vector<int>& signals,
                     bool at_start = false) {
  std::vector<std::string> argv_text = {kCli, "run", "--input", "xyz", "--xyz-dir", folder + "/xyz",
                                        "--ascii-dir", folder + "/ascii", "--grid-dir",
                                        folder + "/grid", "--log", folder + "/run.log",
                                        // One file at a time: b's caption means b is under way.
                                        "--jobs", "1"};
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);
  Stopped result;
  int err_pipe[2];
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "no pipe";
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (at_start) {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &held);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  }
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, kCli, &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(err_pipe[1]);
  EXPECT_EQ(spawned, 0);
  if (spawned == 0) {
    const bool under_way = at_start || ReadUntil(err_pipe[0], "   b.xyz\n", result.err);
    EXPECT_TRUE(under_way) << result.err;
    for (int signal_number : signals) kill(pid, signal_number);
    ReadUntil(err_pipe[0], "", result.err);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  close(err_pipe[0]);
  return result;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class CliSignalTest : public ::terravox::testing::TempDirTest {
 protected:
  // a.xyz is small and done before the signal comes; b.xyz is the big lattice.
  std::string Prepare() {
    const std::string root = PathIn("");
    MakeDir("xyz");
    MakeDir("ascii");
    MakeDir("grid");
    WriteFile(root + "/xyz/a.xyz", LatticeXyz(0));
    WriteFile(root + "/xyz/b.xyz", BigLattice());
    return root;
  }
};

TEST_F(CliSignalTest, ASignalStopsTheRunInOrderAndKeepsOnlyCompleteOutputs) {
  struct Row {
    int signal_number;
    int exit_code;
  };
  for (const Row& row : {Row{SIGINT, 130}, Row{SIGTERM, 143}}) {
    SCOPED_TRACE(row.signal_number);
    const std::string root = Prepare();
    fs::remove(root + "/ascii/a.asc");
    const Stopped stopped = RunAndSignal(root, {row.signal_number});
    EXPECT_EQ(stopped.exit_code, row.exit_code) << stopped.err;
    EXPECT_NE(stopped.err.find("Program is Stopped: Interrupted\n"), std::string::npos)
        << stopped.err;
    EXPECT_EQ(stopped.err.find("b.xyz Error-"), std::string::npos) << stopped.err;
    EXPECT_EQ(Names(root + "/ascii"), std::vector<std::string>{"a.asc"});
    EXPECT_TRUE(Names(root + "/grid").empty());
    EXPECT_FALSE(fs::exists(root + "/run.log"));
  }
}

TEST_F(CliSignalTest, ASecondSigintEndsAtOnceWithoutAHalfWrittenOutput) {
  const std::string root = Prepare();
  const Stopped stopped = RunAndSignal(root, {SIGINT, SIGINT});
  EXPECT_EQ(stopped.exit_code, 130);
  // Hidden temporaries may stay; no output but the complete one bears a real name.
  for (const std::string& name : Names(root + "/ascii")) {
    if (name[0] != '.') {
      EXPECT_EQ(name, "a.asc");
    }
  }
  EXPECT_EQ(ReadFile(root + "/ascii/a.asc").substr(0, 5), "ncols");
}

TEST_F(CliSignalTest, ASignalBeforeTheRunBeginsExitsWithTheSameStatus) {
  struct Row {
    int signal_number;
    int exit_code;
  };
  for (const Row& row : {Row{SIGINT, 130}, Row{SIGTERM, 143}}) {
    SCOPED_TRACE(row.signal_number);
    const Stopped stopped = RunAndSignal(Prepare(), {row.signal_number}, /*at_start=*/true);
    EXPECT_EQ(stopped.exit_code, row.exit_code) << stopped.err;
  }
}

}  // namespace
}  // namespace terravox
