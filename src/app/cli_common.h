// Shared pieces of terravox-cli's subcommands: the subcommand table entry, exit codes, option
// parsing, the separator choice and a window seam that prints message boxes on stderr.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "batch/headless_host.h"
#include "core/status.h"

namespace terravox::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// One subcommand. Each lives in its own cli_<name>.cpp and joins the dispatch table with one
// line at namespace scope:
//   const bool kRegistered = RegisterSubcommand({"grid", "IN OUT ...", "Grids ...", "", &RunGrid});
struct Subcommand {
  const char* name;
  const char* synopsis;  // the arguments after the name
  const char* summary;   // what it does, one line
  const char* details;   // option descriptions, lines indented by four blanks; may be ""
  // Runs with the arguments after the name; returns the exit code.
  int (*run)(const std::vector<std::string>& args);
};

// Adds a subcommand to the dispatch table (defined with main()). Returns true.
bool RegisterSubcommand(const Subcommand& subcommand);

// The whole usage text, every subcommand included.
std::string UsageText();

// Prints "terravox-cli: <message>" and the usage text on stderr; returns kExitUsage.
int UsageError(const std::string& message);

// Prints the usage text on stdout (for --help); returns kExitOk.
int PrintUsage();

// Prints "terravox-cli: <message>" on stderr.
void PrintError(const std::string& message);

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--name" -> value
  bool help = false;                           // --help or -h was given
};

// Splits args into positional arguments and the options named in value_options, each taking
// one value ("--name VALUE" or "--name=VALUE"; the value may begin with "-"). "--" ends the
// options. An unknown option or a missing value is an error whose description says which.
Result<ParsedArgs> ParseArgs(const std::vector<std::string>& args,
                             std::initializer_list<std::string_view> value_options);

// Makes the host's message boxes print "TITLE: TEXT" on stderr, without waiting.
void PrintMessagesToStderr(HeadlessHost& host);

}  // namespace terravox::cli
