// terravox-cli: the command-line front end. main(), the usage text and the dispatch through
// CLI11; each subcommand lives in its own cli_<name>.cpp and registers itself there.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/cli_common.h"
#include "app/cli_signals.h"

namespace terravox::cli {
namespace {

// The table, filled by the subcommands' registrations before main() runs.
std::vector<Subcommand>& Table() {
  static std::vector<Subcommand> table;
  return table;
}

// The app's own help flag is replaced: help prints this program's usage text on stdout.
void UseOwnHelpFlag(CLI::App& app) {
  app.set_help_flag();
  app.add_flag("-h,--help")->description("print this text");
  app.allow_extras();  // unknown options and stray words are reported here, in our words
}

// The first unknown option among the words CLI11 did not take, or "".
std::string FirstUnknownOption(const std::vector<std::string>& remaining) {
  for (const std::string& word : remaining) {
    if (word.size() > 1 && word[0] == '-') return word.substr(0, word.find('='));
  }
  return "";
}

// "--cell-size: 1 required TEXT missing" names the option before its colon.
std::string MissingValueMessage(const CLI::ArgumentMismatch& e) {
  std::string text = e.what();
  return "option " + text.substr(0, text.find(':')) + " needs a value";
}

int Dispatch(int argc, char** argv) {
  if (argc < 2) return UsageError("no command given");
  if (std::string(argv[1]) == "help") return PrintUsage();

  CLI::App app("Batch conversion of terrain data", "terravox-cli");
  UseOwnHelpFlag(app);
  struct Entry {
    CLI::App* sub;
    SubcommandRun run;
    std::vector<std::string> positional;
  };
  std::vector<std::unique_ptr<Entry>> entries;
  for (const Subcommand& subcommand : Table()) {
    auto entry = std::make_unique<Entry>();
    entry->sub = app.add_subcommand(subcommand.name, subcommand.summary);
    UseOwnHelpFlag(*entry->sub);
    entry->run = subcommand.define(*entry->sub);
    entry->sub->add_option("args", entry->positional);
    entries.push_back(std::move(entry));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ArgumentMismatch& e) {
    return UsageError(MissingValueMessage(e));
  } catch (const CLI::ParseError& e) {
    return UsageError(e.what());
  }
  if (app.count("--help") > 0) return PrintUsage();
  for (const std::unique_ptr<Entry>& entry : entries) {
    if (!entry->sub->parsed()) continue;
    if (entry->sub->count("--help") > 0) return PrintUsage();
    std::string unknown = FirstUnknownOption(entry->sub->remaining());
    if (!unknown.empty()) return UsageError("unknown option " + unknown);
    return entry->run(entry->positional);
  }
  std::string unknown = FirstUnknownOption(app.remaining());
  if (!unknown.empty()) return UsageError("unknown option " + unknown);
  if (app.remaining().empty()) return UsageError("no command given");
  return UsageError("unknown command " + app.remaining().front());
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
    CLI::App sub;
    subcommand.define(sub);
    text += "  terravox-cli " + std::string(subcommand.name) + " " + subcommand.synopsis + "\n";
    text += "      " + std::string(subcommand.summary) + "\n";
    text += DescribeOptions(sub);
  }
  return text;
}

}  // namespace terravox::cli

int main(int argc, char** argv) {
  terravox::cli::InstallStopSignals();
  try {
    return terravox::cli::Dispatch(argc, argv);
  } catch (const std::exception& e) {
    // Nothing the subcommands know to report, such as running out of memory while parsing.
    terravox::cli::PrintError(e.what());
    return terravox::cli::kExitFailed;
  }
}
