// Runs terravox-cli as a process for the command-line tests: its exit code and what it printed,
// stderr optionally on a pseudo-terminal. Header only: the test binary takes *_test.cpp files.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir_test.h"

extern char** environ;

namespace terravox::testing {

constexpr char kCli[] = TERRAVOX_BINARY_DIR "/src/app/terravox-cli";

struct Process {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// A pseudo-terminal in raw mode (no line-end translation), or none where the system has none.
struct Terminal {
  int master = -1;
  int slave = -1;
};

inline std::optional<Terminal> OpenTerminal() {
  Terminal t;
  t.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (t.master < 0 || grantpt(t.master) != 0 || unlockpt(t.master) != 0) return std::nullopt;
  t.slave = open(ptsname(t.master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (t.slave < 0) return std::nullopt;
  termios mode;
  tcgetattr(t.slave, &mode);
  cfmakeraw(&mode);
  tcsetattr(t.slave, TCSANOW, &mode);
  return t;
}

// Starts the program with args without waiting; its pid, or -1 when it cannot start. stdout
// goes to a file in scratch; stderr to a file there too, or to the terminal when one is given.
inline pid_t StartCli(const std::vector<std::string>& args, const std::string& scratch,
                      const Terminal* terminal = nullptr) {
  std::vector<std::string> argv_text{kCli};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string out_path = scratch + "/stdout.txt";
  const std::string err_path = scratch + "/stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  if (terminal) {
    posix_spawn_file_actions_adddup2(&actions, terminal->slave, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  }
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, kCli, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(spawned, 0) << "cannot start " << kCli;
  return spawned == 0 ? pid : -1;
}

// Waits for a program StartCli started without a terminal; its exit code and output.
inline Process WaitCli(pid_t pid, const std::string& scratch) {
  Process process;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    process.exit_code = WEXITSTATUS(status);
  }
  process.out = ReadFile(scratch + "/stdout.txt");
  process.err = ReadFile(scratch + "/stderr.txt");
  return process;
}

// Runs the program with args, as StartCli starts it; a terminal's output is read until the
// program has gone.
inline Process RunCli(const std::vector<std::string>& args, const std::string& scratch,
                      const Terminal* terminal = nullptr) {
  const pid_t pid = StartCli(args, scratch, terminal);
  if (!terminal) return WaitCli(pid, scratch);
  Process process;
  if (pid < 0) return process;
  close(terminal->slave);  // once the program is gone too, reads end with EIO
  char buffer[4096];
  for (ssize_t n; (n = read(terminal->master, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    process.err.append(buffer, static_cast<size_t>(n));
  }
  close(terminal->master);
  int status = 0;
  waitpid(pid, &status, 0);
  process.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  process.out = ReadFile(scratch + "/stdout.txt");
  return process;
}

}  // namespace terravox::testing
