// ASCII2GRID: every file of the ASCII folder becomes a GRID of its base name; the first failure
// is shown and ends the loop (a run that keeps going shows each failure and goes on).
#include "batch/ascii2grid.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "batch/ascii_grid_files.h"
#include "batch/extra_outputs.h"
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
#include "engine/held_grid.h"
#include "engine/raster_converter.h"
#include "engine/raster_dataset.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

// The cells of the conversion of input_path taken from and handed on in memory; with take_input,
// the ASCII grid's own when the run handed them on and the file is as it wrote it.
engine::ConversionCells HandedCellsFor(const RunOptions& options, const std::string& input_path,
                                       bool take_input) {
  engine::ConversionCells cells;
  if (options.hand_over == nullptr) return cells;
  if (take_input) cells.input = options.hand_over->Take(input_path);
  cells.output = options.hand_over;
  return cells;
}

// Replaces an old GRID of that name, then converts one listed file. input_path is set as soon as
// it is formed, so the handler can name it.
Status ConvertOne(Host& host, const RunOptions& options, const engine::WorkspaceOpener& opener,
                  engine::Workspace& workspace, const std::string& grid_folder,
                  const std::string& file_name, std::string& input_path,
                  Result<engine::ConvertedGrid>* prepared,
                  std::shared_ptr<const HandedCells>* committed) {
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
  engine::ConversionCells cells = HandedCellsFor(options, input_path, prepared == nullptr);
  cells.committed = committed;
  return converter.ConvertRasterFile(input_path, workspace, name, "GRID", 0, prepared, cells);
}

// The COG of a GRID just written, from its cells when they were gathered for the hand-over.
PreparedCog PrepareCog(const CogOutputs& cogs, const std::string& grid_path,
                       const std::string& name, std::shared_ptr<const HandedCells> cells) {
  if (!cogs.enabled()) return std::nullopt;
  if (!cells) return cogs.Prepare(grid_path, name);
  const engine::RasterDataset held =
      engine::HoldGrid(engine::RasterDataset(grid_path), std::move(cells));
  return cogs.Prepare(grid_path, name, held.held());
}

// A GRID and its COG worked out ahead; no GRID when the file is read in its turn.
struct PreparedGrid {
  std::optional<Result<engine::ConvertedGrid>> grid;
  PreparedCog cog;
};

// The GRIDs of the files ahead of the loop, written on other threads into hidden folders; none
// when the run has one thread. Files the loop skips (skip[i]) are not worked out.
std::unique_ptr<Prefetcher<PreparedGrid>> PrefetchGrids(
    const RunOptions& options, const std::vector<std::string>& files, const std::vector<char>& skip,
    const std::string& ascii_folder, const std::string& grid_folder, const CogOutputs& cogs) {
  const PrefetchLimits limits = PrefetchLimitsFor(options);
  if (limits.threads < 2 || files.size() < 2) return nullptr;
  std::vector<std::string> inputs;
  std::vector<std::string> names;
  for (const std::string& file : files) {
    inputs.push_back(JoinPath(ascii_folder, file));
    names.push_back(BaseName(file));
  }
  // A COG holds the cells and their overviews, which take about as many bytes as the text of
  // the grid.
  std::vector<uint64_t> estimates(skip.size(), 0);
  for (size_t i = 0; i < skip.size(); ++i) {
    if (skip[i]) continue;
    estimates[i] = AsciiToGridPeakBytes() + (cogs.enabled() ? FileSizeOf(inputs[i]) : 0);
  }
  return std::make_unique<Prefetcher<PreparedGrid>>(
      std::move(estimates), limits,
      [inputs = std::move(inputs), names = std::move(names), grid_folder, skip, cogs,
       &options](size_t i) {
        // A link may lead into a GRID an earlier file replaces: such a file is read in its turn.
        std::error_code ec;
        if (skip[i] || std::filesystem::is_symlink(inputs[i], ec)) return PreparedGrid();
        PreparedGrid prepared{
            engine::RasterConverter().PrepareRasterFile(inputs[i], grid_folder, names[i],
                                                        HandedCellsFor(options, inputs[i], true)),
            {}};
        if (prepared.grid->ok()) {
          const engine::ConvertedGrid& grid = **prepared.grid;
          prepared.cog = PrepareCog(cogs, grid.dir.temp_path(), names[i],
                                    grid.cells ? grid.cells->cells : nullptr);
        }
        return prepared;
      });
}

// Tells of one file's failure: the report's record, then the step's box, and the status line
// emptied once the box is closed.
void ShowFailure(Host& host, const RunOptions& options, const std::string& input_path,
                 const Status& status, const FileClock& clock) {
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
}

// Converts the folder's files. A failing file ends the loop with its error, unless the run keeps
// going: then it is shown and reported here, any_failed is set, and the loop goes on.
Status ConvertFolder(Host& host, const RunOptions& options, std::string& input_path,
                     FileClock& clock, bool& any_failed) {
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

  // Known before any file is worked out: the files a resumed run skips, and the tiles that
  // failed an earlier step of a run that keeps going.
  const CogOutputs cogs(options, "");
  std::vector<char> skip(grids.size());
  for (size_t i = 0; i < grids.size(); ++i) {
    const std::string name = BaseName(grids[i]);
    skip[i] = TileFailedEarlier(options, grids[i]) ||
              AlreadyDone(options, kStepAscii2Grid, JoinPath(host.AsciiFolder(), grids[i]),
                          cogs.With({JoinPath(grid_folder, name)}, name));
  }
  std::unique_ptr<Prefetcher<PreparedGrid>> prefetched =
      PrefetchGrids(options, grids, skip, host.AsciiFolder(), grid_folder, cogs);
  for (int i = 0; i < count; ++i) {
    if (Status s = StartItem(i, count); !s.ok()) return s;
    const std::string& file_name = grids[i];
    host.SetStatus("Running : ASCII-->ESRI GRID (" + FormatCounter(i + 1) + "/" +
                   FormatCounter(count) + ")   " + file_name);
    host.Repaint();
    const std::string grid_path = JoinPath(grid_folder, BaseName(file_name));
    const std::string ascii_path = JoinPath(host.AsciiFolder(), file_name);
    if (skip[i]) {
      if (!TileFailedEarlier(options, file_name)) {
        ReportSkipped(options, kStepAscii2Grid, ascii_path, grid_path);
      }
      continue;
    }
    clock = FileClock();
    PreparedGrid prepared = prefetched ? prefetched->Take(static_cast<size_t>(i)) : PreparedGrid();
    auto convert = [&] {
      std::shared_ptr<const HandedCells> committed;
      Status s = ConvertOne(host, options, opener, *workspace, grid_folder, file_name, input_path,
                            prepared.grid ? &*prepared.grid : nullptr, &committed);
      if (!s.ok()) return s;
      if (!prepared.cog) {
        prepared.cog = PrepareCog(cogs, grid_path, BaseName(file_name), std::move(committed));
      }
      return CogOutputs::Commit(std::move(prepared.cog));
    };
    if (!options.keep_going) {
      if (Status s = convert(); !s.ok()) return s;
    } else if (Status s = RunUnderHandler(convert); !s.ok()) {
      if (IsCancelled(s)) return s;
      ShowFailure(host, options, input_path, s, clock);
      any_failed = true;
      continue;
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
  bool any_failed = false;
  Status status =
      RunUnderHandler([&] { return ConvertFolder(host, options, input_path, clock, any_failed); });
  if (any_failed) mdl.bRunOk = false;
  if (status.ok()) return Status::Ok();
  // A stopped run is not this file's failure: no box of this step, the stop goes on up.
  if (IsCancelled(status)) return status;
  ShowFailure(host, options, input_path, status, clock);
  mdl.bRunOk = false;
  return Status::Ok();
}

}  // namespace terravox
