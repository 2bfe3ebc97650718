// ASCII2GRID: every file of the ASCII folder becomes a GRID of its base name; the first failure
// is shown and ends the loop.
#include "batch/ascii2grid.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "batch/step_files.h"
#include "core/fld_exist.h"
#include "core/number_format.h"
#include "core/number_parse.h"
#include "core/paths.h"
#include "engine/raster_converter.h"
#include "engine/raster_dataset.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

constexpr const char* kInterruptedTitle = "Program was interrupted";

// Replaces an old GRID of that name, then converts one listed file. input_path is set as soon as
// it is formed, so the handler can name it.
Status ConvertOne(Host& host, const engine::WorkspaceOpener& opener, engine::Workspace& workspace,
                  const std::string& grid_folder, const std::string& file_name,
                  std::string& input_path) {
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
  return converter.ConvertRasterFile(input_path, workspace, name, "GRID", 0);
}

Status ConvertFolder(Host& host, const RunOptions& options, std::string& input_path,
                     FileClock& clock) {
  const std::string grid_folder = host.GridFolder();
  FileList& file1 = host.FolderList();
  if (Status s = file1.SetPath(host.AsciiFolder()); !s.ok()) return s;
  KeepShardFiles(options, file1);

  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(grid_folder, 0);
  if (!workspace.ok()) return workspace.status();

  // The file count lives in a 16-bit counter: a longer list overflows before any conversion.
  const int count = file1.ListCount();
  if (count > std::numeric_limits<int16_t>::max()) return Error(ErrorKind::kOverflow);

  for (int i = 0; i < count; ++i) {
    const std::string file_name = file1.List(i);
    host.SetStatus("Running : ASCII-->ESRI GRID (" + FormatCounter(i + 1) + "/" +
                   FormatCounter(count) + ")   " + file_name);
    host.Repaint();
    const std::string grid_path = JoinPath(grid_folder, BaseName(file_name));
    const std::string ascii_path = JoinPath(host.AsciiFolder(), file_name);
    if (SkipIfDone(options, kStepAscii2Grid, ascii_path, {grid_path}, grid_path)) continue;
    clock = FileClock();
    if (Status s = ConvertOne(host, opener, *workspace, grid_folder, file_name, input_path);
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
