// ASCII2GRID: every file of the ASCII folder becomes a GRID of its base name; the first failure
// is shown and ends the loop.
#include "batch/ascii2grid.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "batch/ascii_grid_files.h"
#include "batch/memory_estimates.h"
#include "batch/prefetch_limits.h"
#include "batch/prefetcher.h"
#include "batch/step_files.h"
#include "batch/step_messages.h"
#include "core/fld_exist.h"
#include "core/leftover_sweep.h"
#include "core/number_format.h"
#include "core/number_parse.h"
#include "core/paths.h"
#include "core/run_control.h"
#include "engine/raster_converter.h"
#include "engine/raster_dataset.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

// Replaces an old GRID of that name, then converts one listed file. input_path is set as soon as
// it is formed, so the handler can name it.
Status ConvertOne(Host& host, const engine::WorkspaceOpener& opener, engine::Workspace& workspace,
                  const std::string& grid_folder, const std::string& file_name,
                  std::string& input_path, Result<engine::PendingDir>* prepared) {
  const std::string name = BaseName(file_name);
  input_path = JoinPath(host.AsciiFolder(), file_name);

  Result<bool> exists = FldExist(JoinPath(grid_folder, name));
  if (!exists.ok()) return exists.status();
  if (*exists) {
    Result<std::optional<engine::RasterDataset>> old_grid = workspace.FindRaster(name);
    if (!old_grid.ok()) return old_grid.status();
    // A raster that may not be deleted stays; the conversion then reports the clash.
    if (old_grid->has_value() && (*old_grid)->IsDeletable()) {
      if (Status s = (*old_grid)->RemoveDataset(); !s.ok()) return s;
    }
  }

  // Open the folder afresh so the workspace sees the removal.
  Result<engine::Workspace> reopened = opener.OpenFolder(grid_folder, 0);
  if (!reopened.ok()) return reopened.status();
  workspace = std::move(reopened).value();

  engine::RasterConverter converter;
  return converter.ConvertRasterFile(input_path, workspace, name, "GRID", 0, prepared);
}

// A GRID worked out ahead; none when the file is read in its turn.
using PreparedGrid = std::optional<Result<engine::PendingDir>>;

// The GRIDs of the files ahead of the loop, written on other threads into hidden folders; none
// when the run has one thread.
std::unique_ptr<Prefetcher<PreparedGrid>> PrefetchGrids(const RunOptions& options,
                                                        const std::vector<std::string>& files,
                                                        const std::string& ascii_folder,
                                                        const std::string& grid_folder) {
  const PrefetchLimits limits = PrefetchLimitsFor(options);
  // A resumed run skips files the prefetcher would work out for nothing.
  if (limits.threads < 2 || files.size() < 2 || options.resume) return nullptr;
  std::vector<std::string> inputs;
  std::vector<std::string> names;
  for (const std::string& file : files) {
    inputs.push_back(JoinPath(ascii_folder, file));
    names.push_back(BaseName(file));
  }
  std::vector<uint64_t> estimates(inputs.size(), AsciiToGridPeakBytes());
  return std::make_unique<Prefetcher<PreparedGrid>>(
      std::move(estimates), limits,
      [inputs = std::move(inputs), names = std::move(names), grid_folder](size_t i) {
        // A link may lead into a GRID an earlier file replaces: such a file is read in its turn.
        std::error_code ec;
        if (std::filesystem::is_symlink(inputs[i], ec)) return PreparedGrid();
        return PreparedGrid(
            engine::RasterConverter().PrepareRasterFile(inputs[i], grid_folder, names[i]));
      });
}

Status ConvertFolder(Host& host, const RunOptions& options, std::string& input_path,
                     FileClock& clock) {
  const std::string grid_folder = host.GridFolder();
  RemoveDeadTemporaries(grid_folder);
  FileList& file1 = host.FolderList();
  if (Status s = file1.SetPath(host.AsciiFolder()); !s.ok()) return s;
  KeepShardFiles(options, file1);

  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(grid_folder, 0);
  if (!workspace.ok()) return workspace.status();

  // A grid's .prj and GDAL's .aux.xml beside it are no grids: converting them would replace the
  // GRID just made from their grid, then fail.
  std::vector<std::string> listing;
  listing.reserve(file1.ListCount());
  for (int i = 0; i < file1.ListCount(); ++i) listing.push_back(file1.List(i));
  const std::vector<std::string> grids = AsciiGridFiles(listing);

  // The file count lives in a 16-bit counter: a longer list overflows before any conversion.
  if (grids.size() > static_cast<size_t>(kMaxStepFiles)) {
    return Error(ErrorKind::kOverflow);
  }
  const int count = static_cast<int>(grids.size());

  std::unique_ptr<Prefetcher<PreparedGrid>> prefetched =
      PrefetchGrids(options, grids, host.AsciiFolder(), grid_folder);
  for (int i = 0; i < count; ++i) {
    if (Status s = StartItem(i, count); !s.ok()) return s;
    const std::string& file_name = grids[i];
    host.SetStatus("Running : ASCII-->ESRI GRID (" + FormatCounter(i + 1) + "/" +
                   FormatCounter(count) + ")   " + file_name);
    host.Repaint();
    const std::string grid_path = JoinPath(grid_folder, BaseName(file_name));
    const std::string ascii_path = JoinPath(host.AsciiFolder(), file_name);
    if (SkipIfDone(options, kStepAscii2Grid, ascii_path, {grid_path}, grid_path)) continue;
    clock = FileClock();
    PreparedGrid prepared = prefetched ? prefetched->Take(static_cast<size_t>(i)) : PreparedGrid();
    if (Status s = ConvertOne(host, opener, *workspace, grid_folder, file_name, input_path,
                              prepared ? &*prepared : nullptr);
        !s.ok()) {
      return s;
    }
    ReportFile(options, {.step = kStepAscii2Grid,
                         .input = input_path,
                         .output = grid_path,
                         .seconds = clock.Seconds(),
                         .cells = ReportedCells(options, grid_path)});
  }
  return Status::Ok();
}

}  // namespace

Status ASCII2GRID(Host& host, BatchMdl& mdl, const RunOptions& options) {
  // The last input path formed; empty until the first file's path is.
  std::string input_path;
  FileClock clock;
  Status status = RunUnderHandler([&] { return ConvertFolder(host, options, input_path, clock); });
  if (status.ok()) return Status::Ok();
  // A stopped run is not this file's failure: no box of this step, the stop goes on up.
  if (IsCancelled(status)) return status;
  if (!input_path.empty()) {
    ReportFile(options, {.step = kStepAscii2Grid,
                         .input = input_path,
                         .output = JoinPath(host.GridFolder(), BaseName(LastPathPiece(input_path))),
                         .outcome = FileOutcome::kFailed,
                         .error = status.description(),
                         .seconds = clock.Seconds()});
  }

  host.MsgBox(input_path + " Error-" + status.description(), kInterruptedTitle);
  host.SetStatus("");
  mdl.bRunOk = false;
  return Status::Ok();
}

}  // namespace terravox
