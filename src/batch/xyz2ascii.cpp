// XYZ2ASCII: one gridder call per file of the XYZ folder, with a progress caption for each.
#include "batch/xyz2ascii.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "batch/memory_estimates.h"
#include "batch/prefetch_limits.h"
#include "batch/prefetcher.h"
#include "batch/step_files.h"
#include "core/file_entry.h"
#include "core/leftover_sweep.h"
#include "core/number_format.h"
#include "core/number_parse.h"
#include "core/paths.h"
#include "core/run_control.h"
#include "gridder/gridder.h"

namespace terravox {
namespace {

// Deletes an earlier output as a lookup finds it (DeleteOldFile). Not the input file, when the two
// folders are one and it bears the output's name: the gridder refuses that file instead. A lookup
// that cannot be answered finds nothing here; the gridder then reports the path for this file.
Status DeleteOldOutput(const std::string& path, const std::string& input_path) {
  std::error_code ec;
  if (std::filesystem::equivalent(path, input_path, ec)) return Status::Ok();
  return DeleteOldFile(path, LookupFailure::kFindsNothing);
}

// The grids of the files ahead of the loop, worked out on other threads; none when the run
// has one thread, or when the XYZ folder is the ASCII folder (a grid written there may be a later
// file's input, which must then be read as the loop leaves it). Files a resumed run skips
// (skip[i]) are not worked out.
std::unique_ptr<Prefetcher<std::optional<GriddedFile>>> PrefetchGrids(
    Host& host, const BatchMdl& mdl, const RunOptions& options, const FileList& files,
    const std::vector<char>& skip, const std::string& xyz_folder, const std::string& ascii_folder) {
  const PrefetchLimits limits = PrefetchLimitsFor(options);
  std::error_code ec;
  if (limits.threads < 2 || files.ListCount() < 2 ||
      std::filesystem::equivalent(xyz_folder, ascii_folder, ec)) {
    return nullptr;
  }
  // The settings cannot change during a run: read once here, they serve every thread.
  const bool given = host.CellSizeGiven();
  const std::string given_text = given ? host.CellSizeText() : std::string();
  CellSizeChoice cell_size = CellSizeFromSettings(given, given_text);
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
  std::vector<uint64_t> estimates;
  for (int i = 0; i < files.ListCount(); ++i) {
    inputs.push_back(JoinPath(xyz_folder, files.List(i)));
    outputs.push_back(JoinPath(ascii_folder, BaseName(files.List(i)) + ".asc"));
    estimates.push_back(skip[i] ? 0
                                : XyzPeakBytes(inputs.back(), FileSizeOf(inputs.back()),
                                               mdl.strSeparator, ThreadsPerFile(options)));
  }
  // The files worked out at once already fill the cores: threads inside each file as well would
  // only take turns on them. A count the user gave is kept.
  XyzGridding how = GriddingFor(mdl, options);
  if (options.threads_per_file == 0) how.threads = std::max(1, how.threads / limits.threads);
  return std::make_unique<Prefetcher<std::optional<GriddedFile>>>(
      std::move(estimates), limits,
      [inputs = std::move(inputs), outputs = std::move(outputs), how = std::move(how),
       cell_size = std::move(cell_size), skip](size_t i) {
        // A link may lead to a grid an earlier file writes: such a file is read in its turn.
        std::error_code link_ec;
        if (skip[i] || std::filesystem::is_symlink(inputs[i], link_ec)) {
          return std::optional<GriddedFile>();
        }
        return std::optional<GriddedFile>(GridXyzFile(inputs[i], outputs[i], how, cell_size));
      });
}

}  // namespace

Status XYZ2ASCII(Host& host, BatchMdl& mdl, const RunOptions& options) {
  std::string ascii_folder = host.AsciiFolder();
  RemoveDeadTemporaries(ascii_folder);
  FileList& files = host.FolderList();
  if (Status s = files.SetPath(host.XyzFolder()); !s.ok()) return s;
  KeepShardFiles(options, files);
  if (files.ListCount() > kMaxStepFiles) return Error(ErrorKind::kOverflow);
  int count = files.ListCount();
  // What a resumed run skips is known before any file is worked out, so the work ahead leaves
  // those files out.
  std::vector<char> skip(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    skip[i] = AlreadyDone(options, kStepXyz2Ascii, JoinPath(host.XyzFolder(), files.List(i)),
                          {JoinPath(ascii_folder, BaseName(files.List(i)) + ".asc")});
  }
  std::unique_ptr<Prefetcher<std::optional<GriddedFile>>> prefetched =
      PrefetchGrids(host, mdl, options, files, skip, host.XyzFolder(), ascii_folder);
  for (int i = 0; i < count; ++i) {
    if (Status s = StartItem(i, count); !s.ok()) return s;
    host.SetStatus("Running : XYZ-->ASCII(" + FormatCounter(i + 1) + "/" +
                   FormatCounter(files.ListCount()) + ")   " + files.List(i));
    host.Repaint();
    const std::string& name = files.List(i);
    std::string xyz_path = JoinPath(host.XyzFolder(), name);
    std::string output_name = BaseName(name) + ".asc";
    std::string asc_path = JoinPath(ascii_folder, output_name);
    if (skip[i]) {
      ReportSkipped(options, kStepXyz2Ascii, xyz_path, asc_path);
      continue;
    }
    FileClock clock;
    if (Status s = DeleteOldOutput(asc_path, xyz_path); !s.ok()) return s;
    std::optional<GriddedFile> gridded;
    if (prefetched) gridded = prefetched->Take(static_cast<size_t>(i));
    // Each file's failure is handled inside the gridder; only an unwritable log escapes. The
    // flag of its own tells this file's outcome apart from an earlier file's.
    const bool run_ok = mdl.bRunOk;
    mdl.bRunOk = true;
    GridFigures figures;
    Status converted = ConvertXyzFile(xyz_path, asc_path, host, mdl, options,
                                      gridded ? &*gridded : nullptr, &figures);
    const bool file_ok = mdl.bRunOk;
    mdl.bRunOk = run_ok && file_ok;
    if (!converted.ok()) return converted;
    ReportFile(options, {.step = kStepXyz2Ascii,
                         .input = xyz_path,
                         .output = asc_path,
                         .outcome = file_ok ? FileOutcome::kOk : FileOutcome::kFailed,
                         .error = figures.error,
                         .seconds = clock.Seconds(),
                         .points = figures.points,
                         .cells = figures.cells});
  }
  return Status::Ok();
}

}  // namespace terravox
