// terravox-cli grid: one XYZ point file to one ESRI ASCII grid, as the batch run grids each file.
#include <charconv>
#include <filesystem>
#include <iostream>
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

int RunGrid(const std::vector<std::string>& args) {
  Result<ParsedArgs> parsed = ParseArgs(args, {"--cell-size", "--separator", "--log", "--threads"});
  if (!parsed.ok()) return UsageError(parsed.error().description());
  if (parsed->help) return PrintUsage();
  if (parsed->positional.size() != 2) return UsageError("grid takes an input and an output file");
  const std::string& input = parsed->positional[0];
  const std::string& output = parsed->positional[1];
  const std::map<std::string, std::string>& options = parsed->options;

  HeadlessHost host;
  PrintMessagesToStderr(host);
  if (auto it = options.find("--cell-size"); it != options.end()) {
    host.values.cell_size_given = true;  // "Cell Size"
    host.values.cell_size = it->second;
  }
  BatchMdl mdl;
  auto separator = options.find("--separator");
  mdl.strSeparator = SeparatorFromChoice(separator == options.end() ? "Space" : separator->second);
  mdl.bRunOk = true;  // only a failure clears it

  RunOptions run_options;
  if (auto it = options.find("--log"); it != options.end()) run_options.error_log_path = it->second;
  run_options.on_log_line = [](const std::string& line) { std::cerr << line << '\n'; };
  if (auto it = options.find("--threads"); it != options.end()) {
    const std::string& text = it->second;
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

const bool kRegistered = RegisterSubcommand(
    {"grid", "IN OUT [--cell-size S] [--separator SEP] [--log FILE] [--threads N]",
     "Grid the XYZ point file IN into the ESRI ASCII grid OUT (replaced if it exists).",
     "    --cell-size S    the cell size (otherwise derived from the x spacing)\n"
     "    --separator SEP  field separator: Space (default), TAB, or the text itself\n"
     "    --log FILE       error log to append to (default /tmp/xyz2ascii.log)\n"
     "    --threads N      threads for the file (default 0: every core); the grid is the same\n",
     &RunGrid});

}  // namespace
}  // namespace terravox::cli
