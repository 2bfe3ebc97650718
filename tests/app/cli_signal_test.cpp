// terravox-cli run stopped by a signal while it grids a 2000 x 3000 lattice: exit 128 + the
// signal's number within a second, only complete outputs and no temporaries in the folders, no log
// line for the interrupted file; a second SIGINT ends the process at once.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
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
using Clock = std::chrono::steady_clock;

// The big input, made once for all cases: 2000 x 3000 points, CR LF lines, long enough to be
// caught while it is gridded.
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
  double seconds_to_exit = 0;  // from the last signal sent
  std::string err;
};

// True once a.asc is done and the grid of b is being written under a temporary name.
bool WritingB(const std::string& folder) {
  std::error_code ec;
  if (!fs::exists(folder + "/ascii/a.asc", ec)) return false;
  for (const auto& entry : fs::directory_iterator(folder + "/ascii", ec)) {
    if (entry.path().filename().string().rfind(".terravox-", 0) == 0) return true;
  }
  return false;
}

// Starts a run over folder's xyz files, sends the signals while b is being gridded, and waits for
// the end.
Stopped RunAndSignal(const std::string& folder, const std::vector<int>& signals) {
  std::vector<std::string> argv_text = {kCli, "run", "--input", "xyz", "--xyz-dir", folder + "/xyz",
                                        "--ascii-dir", folder + "/ascii", "--grid-dir",
                                        folder + "/grid", "--log", folder + "/run.log",
                                        // One file at a time, so that b comes after a.
                                        "--jobs", "1"};
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string err_path = folder + "/stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = 0;
  Stopped result;
  const int spawned = posix_spawn(&pid, kCli, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(spawned, 0);
  if (spawned != 0) return result;
  // The gridder streams a lattice in well under a second: wait for b's grid rather than a time.
  for (const Clock::time_point give_up = Clock::now() + std::chrono::seconds(10);
       !WritingB(folder) && Clock::now() < give_up;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  for (int signal_number : signals) kill(pid, signal_number);
  const Clock::time_point sent = Clock::now();
  int status = 0;
  waitpid(pid, &status, 0);
  result.seconds_to_exit = std::chrono::duration<double>(Clock::now() - sent).count();
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = ReadFile(err_path);
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

TEST_F(CliSignalTest, ASignalStopsTheRunWithinASecondAndKeepsOnlyCompleteOutputs) {
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
    EXPECT_LT(stopped.seconds_to_exit, 1.0);
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
  EXPECT_LT(stopped.seconds_to_exit, 1.0);
  // Hidden temporaries may stay; no output but the complete one bears a real name.
  for (const std::string& name : Names(root + "/ascii")) {
    if (name[0] != '.') {
      EXPECT_EQ(name, "a.asc");
    }
  }
  EXPECT_EQ(ReadFile(root + "/ascii/a.asc").substr(0, 5), "ncols");
}

}  // namespace
}  // namespace terravox
