// terravox-cli grid: one XYZ point file to one ESRI ASCII grid, as the batch run grids each file.
#include <charconv>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include "app/cli_common.h"
#include "core/batch_mdl.h"
#include "core/leftover_sweep.h"
#include "core/run_options.h"
#include "gridder/gridder.h"

namespace terravox::cli {
namespace {

// Removes an earlier OUT so the grid replaces it. A folder is left for the gridder to refuse, and
// so is IN itself given as OUT.
Status DeleteExistingOutput(const std::string& path, const std::string& input) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::file_status status = fs::symlink_status(fs::path(path), ec);
  if (ec || !fs::exists(status) || fs::is_directory(status)) return Status::Ok();
  if (fs::equivalent(fs::path(path), fs::path(input), ec)) return Status::Ok();
  if (!fs::remove(fs::path(path), ec) && ec) return Error::FromErrno(ec.value());
  return Status::Ok();
}

struct GridFlags {
  std::string cell_size;
  std::string separator = "Space";
  std::string log = kErrorLogPath;
  std::string threads;
  bool in_memory = false;
};

int RunGrid(const CLI::App& sub, const GridFlags& flags,
            const std::vector<std::string>& positional) {
  if (positional.size() != 2) return UsageError("grid takes an input and an output file");
  const std::string& input = positional[0];
  const std::string& output = positional[1];

  HeadlessHost host;
  PrintMessagesToStderr(host);
  if (sub.count("--cell-size") > 0) {
    host.values.cell_size_given = true;  // "Cell Size"
    host.values.cell_size = flags.cell_size;
  }
  BatchMdl mdl;
  mdl.strSeparator = SeparatorFromChoice(flags.separator);
  mdl.bRunOk = true;  // only a failure clears it

  RunOptions run_options;
  run_options.error_log_path = flags.log;
  run_options.on_log_line = [](const std::string& line) {
    std::cerr << TerminalText(line) << '\n';
  };
  run_options.gridder_in_memory = flags.in_memory;
  if (sub.count("--threads") > 0) {
    const std::string& text = flags.threads;
    auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), run_options.threads_per_file);
    if (ec != std::errc() || end != text.data() + text.size() || run_options.threads_per_file < 0) {
      return UsageError("--threads takes a whole number, 0 meaning every core");
    }
  }

  // The output's folder loses what a killed run left there.
  RemoveDeadTemporaries(std::filesystem::path(output).parent_path().string());
  if (Status s = DeleteExistingOutput(output, input); !s.ok()) {
    PrintError("cannot delete " + output + ": " + s.description());
    return kExitFailed;
  }
  if (Status s = ConvertXyzFile(input, output, host, mdl, run_options); !s.ok()) {
    PrintError(s.description());
    return kExitFailed;
  }
  return mdl.bRunOk ? kExitOk : kExitFailed;
}

SubcommandRun DefineGrid(CLI::App& sub) {
  auto flags = std::make_shared<GridFlags>();
  sub.add_option("--cell-size", flags->cell_size,
                 "the cell size (otherwise derived from the x spacing)")
      ->option_text("S");
  sub.add_option("--separator", flags->separator,
                 "field separator: Space (default), TAB, or the text itself")
      ->option_text("SEP");
  sub.add_option("--log", flags->log, "error log to append to (default /tmp/xyz2ascii.log)")
      ->option_text("FILE");
  sub.add_option("--threads", flags->threads,
                 "threads for the file (default 0: every core); the grid is the same")
      ->option_text("N");
  sub.add_flag("--in-memory", flags->in_memory,
               "read the file whole into memory even when it is a lattice written row by row "
               "(which is otherwise gridded in one streaming pass); the grid is the same");
  return [&sub, flags](const std::vector<std::string>& positional) {
    return RunGrid(sub, *flags, positional);
  };
}

const bool kRegistered = RegisterSubcommand(
    {"grid", "IN OUT [--cell-size S] [--separator SEP] [--log FILE] [--threads N] [--in-memory]",
     "Grid the XYZ point file IN into the ESRI ASCII grid OUT (replaced if it exists).",
     &DefineGrid});

}  // namespace
}  // namespace terravox::cli
