// Shared pieces of terravox-cli's subcommands: the subcommand table entry, exit codes, the usage
// text built from the CLI11 options, error messages and a window seam printing message boxes.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <string_view>

#include "batch/headless_host.h"

namespace terravox::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// What a subcommand does once its options are parsed: the exit code. It sees the positional
// arguments; a usage problem it finds is returned through UsageError.
using SubcommandRun = std::function<int(const std::vector<std::string>& positional)>;

// One subcommand. Each lives in its own cli_<name>.cpp and joins the table with one line at
// namespace scope:
//   const bool kRegistered = RegisterSubcommand({"grid", "IN OUT ...", "Grids ...", &DefineGrid});
struct Subcommand {
  const char* name;
  const char* synopsis;  // the arguments after the name
  const char* summary;   // what it does, one line
  // Adds the subcommand's options to sub, bound to storage the returned runner owns.
  SubcommandRun (*define)(CLI::App& sub);
};

// Adds a subcommand to the table (defined with main()). Returns true.
bool RegisterSubcommand(const Subcommand& subcommand);

// The whole usage text, every subcommand and its options included.
std::string UsageText();

// Prints "terravox-cli: <message>" (as PrintError) and the usage text on stderr; returns
// kExitUsage.
int UsageError(const std::string& message);

// Prints the usage text on stdout (for --help); returns kExitOk.
int PrintUsage();

// Prints "terravox-cli: <message>" on stderr, the message as TerminalText shows it.
void PrintError(const std::string& message);

// The option lines of the usage text for sub's options: name, value name, description.
std::string DescribeOptions(const CLI::App& sub);

// The text as it may reach a terminal: control characters escaped as the error log escapes them
// (\r, \n, \t, \xHH), C1 controls and bytes that are no UTF-8 as \xHH too, so no file name can
// move the cursor, retitle the window or forge a line.
std::string TerminalText(std::string_view text);

// Makes the host's message boxes print "TITLE: TEXT" on stderr, without waiting; file names in
// them as TerminalText shows them.
void PrintMessagesToStderr(HeadlessHost& host);

}  // namespace terravox::cli
