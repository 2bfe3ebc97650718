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
#include "app/cli_run_flags.h"
#include "batch/batch_run.h"
#include "batch/headless_host.h"
#include "core/batch_mdl.h"
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

// Shows the status line on stderr. On a terminal it is one line redrawn in place, as the
// window's status line is; anything else gets one line per caption, which reads well in a log.
class StatusLine {
 public:
  explicit StatusLine(bool terminal) : terminal_(terminal) {}

  void Show(const std::string& caption) {
    if (!terminal_) {
      // An emptied status line carries no news in a log.
      if (!caption.empty()) std::cerr << caption << '\n';
      return;
    }
    if (caption.empty() && !open_) return;  // nothing shown, nothing to clear
    std::cerr << '\r' << caption << "\x1b[K" << std::flush;
    open_ = !caption.empty();
  }

  // Ends a caption being redrawn, so that what is printed next starts on a line of its own
  // and the caption stays visible above it, as it does behind a message box.
  void EndLine() {
    if (open_) std::cerr << '\n';
    open_ = false;
  }

 private:
  bool terminal_;
  bool open_ = false;
};

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

  StatusLine status_line(StderrIsTerminal());
  host.on_status = [&](const std::string& caption) { status_line.Show(caption); };
  PrintMessagesToStderr(host);
  host.on_message = [&, print = host.on_message](const std::string& text,
                                                 const std::string& title) {
    status_line.EndLine();
    print(text, title);
  };
  run_options.on_log_line = [&](const std::string& line) {
    status_line.EndLine();
    std::cerr << line << '\n';
  };

  RunOutcome outcome = RunBatch(host, mdl, run_options);
  status_line.EndLine();
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
