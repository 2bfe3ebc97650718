// terravox-cli: the command-line front end. main(), the usage text and the dispatch table;
// each subcommand lives in its own cli_<name>.cpp and registers itself there.
#include <iostream>
#include <string>
#include <vector>

#include "app/cli_common.h"

namespace terravox::cli {
namespace {

// The dispatch table, filled by the subcommands' registrations before main() runs.
std::vector<Subcommand>& Table() {
  static std::vector<Subcommand> table;
  return table;
}

const Subcommand* Find(const std::string& name) {
  for (const Subcommand& subcommand : Table()) {
    if (name == subcommand.name) return &subcommand;
  }
  return nullptr;
}

}  // namespace

bool RegisterSubcommand(const Subcommand& subcommand) {
  std::vector<Subcommand>& table = Table();
  // Registration order across files is unspecified: keep the table in name order.
  auto at = table.begin();
  while (at != table.end() && std::string(at->name) < subcommand.name) ++at;
  table.insert(at, subcommand);
  return true;
}

std::string UsageText() {
  std::string text =
      "usage: terravox-cli COMMAND [ARGS...]\n"
      "       terravox-cli --help\n"
      "\n"
      "Exit status: 0 done, 1 the work failed (messages on stderr), 2 bad usage.\n"
      "\n"
      "commands:\n";
  for (const Subcommand& subcommand : Table()) {
    text += "  terravox-cli " + std::string(subcommand.name) + " " + subcommand.synopsis + "\n";
    text += "      " + std::string(subcommand.summary) + "\n";
    text += subcommand.details;
  }
  return text;
}

}  // namespace terravox::cli

int main(int argc, char** argv) {
  using namespace terravox::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return UsageError("no command given");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") return PrintUsage();
  const Subcommand* subcommand = Find(args[0]);
  if (!subcommand) return UsageError("unknown command " + args[0]);
  args.erase(args.begin());
  return subcommand->run(args);
}
