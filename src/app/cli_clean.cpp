// terravox-cli clean: removes the temporaries that ended runs left in output folders, on any
// machine, as the final job of a cluster submission does once all its tasks have ended.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_common.h"
#include "core/leftover_sweep.h"

namespace terravox::cli {
namespace {

struct CleanFlags {
  std::string submission;
};

int RunClean(const CLI::App& sub, const CleanFlags& flags,
             const std::vector<std::string>& folders) {
  if (folders.empty()) return UsageError("clean takes one or more folders");
  std::optional<std::string> submission;
  if (sub.count("--submission") > 0) submission = flags.submission;
  int exit_code = kExitOk;
  for (const std::string& folder : folders) {
    const CleanOutcome outcome = CleanTemporaries(folder, submission);
    std::cout << TerminalText(folder) << ": " << outcome.removed << " removed";
    if (outcome.live > 0) std::cout << ", " << outcome.live << " kept (their process runs)";
    std::cout << "\n";
    if (!outcome.status.ok()) {
      PrintError("cannot clean " + folder + ": " + outcome.status.description());
      exit_code = kExitFailed;
    }
  }
  return exit_code;
}

SubcommandRun DefineClean(CLI::App& sub) {
  auto flags = std::make_shared<CleanFlags>();
  sub.add_option("--submission", flags->submission,
                 "only the temporaries of that submission's runs (SLURM_ARRAY_JOB_ID,\n"
                 "or TERRAVOX_SUBMISSION when it was set)")
      ->option_text("ID");
  return [&sub, flags](const std::vector<std::string>& positional) {
    return RunClean(sub, *flags, positional);
  };
}

const bool kRegistered = RegisterSubcommand(
    {"clean", "FOLDER... [--submission ID]",
     "Remove the hidden temporaries that ended runs left in the folders, on any machine,\n"
     "      keeping those whose process shows it still runs: for after a job, when nothing\n"
     "      else writes there. Exit 0, or 1 when a folder could not be cleaned.",
     &DefineClean});

}  // namespace
}  // namespace terravox::cli
