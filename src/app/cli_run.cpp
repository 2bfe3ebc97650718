// terravox-cli run: the whole batch run that "Go" starts, with the window's settings given as
// options; progress and message boxes go to stderr.
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/cli_common.h"
#include "app/cli_progress.h"
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

// The settings of the window, filled from the options the way a user would fill the window.
Status ApplyOptions(const std::map<std::string, std::string>& options, HeadlessHost& host,
                    BatchMdl& mdl, RunOptions& run_options) {
  Settings& v = host.values;
  auto option = [&](const char* name) -> const std::string* {
    auto it = options.find(name);
    return it == options.end() ? nullptr : &it->second;
  };

  const std::string* input = option("--input");
  if (!input) return Error(ErrorKind::kOther, "run needs --input xyz|ascii|grid");
  if (*input != "xyz" && *input != "ascii" && *input != "grid") {
    return Error(ErrorKind::kOther, "--input takes xyz, ascii or grid, not " + *input);
  }
  v.input_xyz = *input == "xyz";
  v.input_ascii = *input == "ascii";

  if (const std::string* cell_size = option("--cell-size")) {
    v.cell_size_given = true;
    v.cell_size = *cell_size;
  }
  if (const std::string* folder = option("--xyz-dir")) v.xyz_folder = *folder;
  if (const std::string* folder = option("--ascii-dir")) v.ascii_folder = *folder;
  if (const std::string* folder = option("--grid-dir")) v.grid_folder = *folder;
  if (const std::string* folder = option("--contour-dir")) {
    v.run_contour = true;
    v.contour_folder = *folder;
  }
  if (const std::string* start = option("--contour-start")) v.contour_base = *start;
  if (const std::string* interval = option("--contour-interval")) v.contour_interval = *interval;
  if (const std::string* folder = option("--slope-dir")) {
    v.run_slope = true;
    v.slope_folder = *folder;
  }
  const std::string* separator = option("--separator");
  mdl.strSeparator = SeparatorFromChoice(separator ? *separator : "Space");
  if (const std::string* log = option("--log")) run_options.error_log_path = *log;
  if (const std::string* jobs = option("--jobs")) {
    Result<double> n = ParseDouble(*jobs);
    if (!n.ok() || *n < 0 || *n > 1024 || *n != static_cast<int>(*n)) {
      return Error(ErrorKind::kOther, "--jobs takes a whole number from 0 to 1024, not " + *jobs);
    }
    run_options.jobs = static_cast<int>(*n);
  }
  return Status::Ok();
}

int RunRun(const std::vector<std::string>& args) {
  Result<ParsedArgs> parsed =
      ParseArgs(args, {"--input", "--xyz-dir", "--cell-size", "--separator", "--ascii-dir",
                       "--grid-dir", "--contour-dir", "--contour-start", "--contour-interval",
                       "--slope-dir", "--log", "--jobs"});
  if (!parsed.ok()) return UsageError(parsed.error().description());
  if (parsed->help) return PrintUsage();
  if (!parsed->positional.empty()) {
    return UsageError("run takes no arguments besides options: " + parsed->positional[0]);
  }

  HeadlessHost host;
  BatchMdl mdl;
  RunOptions run_options;
  if (Status s = ApplyOptions(parsed->options, host, mdl, run_options); !s.ok()) {
    return UsageError(s.description());
  }

  ProgressLine status_line(std::cerr, StderrIsTerminal());
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

const bool kRegistered = RegisterSubcommand(
    {"run",
     "--input xyz|ascii|grid [--xyz-dir D] [--cell-size S]\n"
     "        [--separator SEP] [--ascii-dir D] [--grid-dir D] [--contour-dir D]\n"
     "        [--contour-start V] [--contour-interval V] [--slope-dir D] [--log FILE]",
     "Run the whole batch as the window's Go does; exit 0 when finished, 1 when stopped.",
     "    --input KIND         xyz: XYZ files to ASCII grids to GRIDs; ascii: ASCII grids to\n"
     "                         GRIDs; grid: only the extra operations on existing GRIDs\n"
     "    --xyz-dir D          folder of the XYZ point files\n"
     "    --cell-size S        cell size of the XYZ grids (otherwise derived from the x spacing)\n"
     "    --separator SEP      XYZ field separator: Space (default), TAB, or the text itself\n"
     "    --ascii-dir D        folder of the ESRI ASCII grids\n"
     "    --grid-dir D         folder of the GRID rasters (needed in every run)\n"
     "    --contour-dir D      make contour Shapefiles into D\n"
     "    --contour-start V    start value of the contour lines (default 0)\n"
     "    --contour-interval V interval between contour lines (default 5)\n"
     "    --slope-dir D        make slope GRIDs into D\n"
     "    --log FILE           error log to append to (default /tmp/xyz2ascii.log)\n",
     &RunRun});

}  // namespace
}  // namespace terravox::cli
