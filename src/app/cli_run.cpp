// terravox-cli run: the whole batch run that "Go" starts, with the window's settings given as
// options; progress and message boxes go to stderr.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/cli_common.h"
#include "app/cli_progress.h"
#include "app/cli_run_flags.h"
#include "app/cli_signals.h"
#include "batch/batch_run.h"
#include "batch/headless_host.h"
#include "core/batch_mdl.h"
#include "core/number_parse.h"
#include "core/run_control.h"
#include "core/run_options.h"

namespace terravox::cli {
namespace {

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

int RunRun(const CLI::App& sub, const RunFlags& flags, const std::vector<std::string>& positional) {
  if (!positional.empty()) {
    return UsageError("run takes no arguments besides options: " + positional[0]);
  }

  HeadlessHost host;
  BatchMdl mdl;
  RunOptions run_options;
  if (Status s = ApplyRunFlags(sub, flags, host, mdl, run_options); !s.ok()) {
    return UsageError(s.description());
  }

  ProgressLine status_line(std::cerr, StderrIsTerminal());
  host.on_status = [&](const std::string& caption) { status_line.Show(TerminalText(caption)); };
  PrintMessagesToStderr(host);
  host.on_message = [&, print = host.on_message](const std::string& text,
                                                 const std::string& title) {
    status_line.EndLine();
    print(text, title);
  };
  run_options.on_log_line = [&](const std::string& line) {
    status_line.EndLine();
    std::cerr << TerminalText(line) << '\n';
  };

  RunControl control;
  control.SetProgressSink([&](double fraction) {
    status_line.SetPosition({control.item(), control.items(), fraction});
  });
  run_options.control = &control;
  StopSignals signals(control);

  RunOutcome outcome = RunBatch(host, mdl, run_options);
  status_line.EndLine();
  if (outcome == RunOutcome::kInterrupted) return signals.ExitCode();
  return outcome == RunOutcome::kFinished ? kExitOk : kExitFailed;
}

SubcommandRun DefineRun(CLI::App& sub) {
  auto flags = std::make_shared<RunFlags>();
  AddRunFlags(sub, *flags);
  return [&sub, flags](const std::vector<std::string>& positional) {
    return RunRun(sub, *flags, positional);
  };
}

const bool kRegistered = RegisterSubcommand(
    {"run", kRunSynopsis,
     "Run the whole batch as the window's Go does; exit 0 when finished, 1 when stopped.",
     &DefineRun});

}  // namespace
}  // namespace terravox::cli
