// ASCII2GRID: every file of the ASCII folder becomes a GRID of its base name; the first failure
// is shown and ends the loop.
#include "batch/ascii2grid.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "core/fld_exist.h"
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

Status ConvertFolder(Host& host, std::string& input_path) {
  const std::string grid_folder = host.GridFolder();
  FileList& file1 = host.FolderList();
  if (Status s = file1.SetPath(host.AsciiFolder()); !s.ok()) return s;

  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(grid_folder, 0);
  if (!workspace.ok()) return workspace.status();

  // The file count lives in a 16-bit counter: a longer list overflows before any conversion.
  const int count = file1.ListCount();
  if (count > std::numeric_limits<int16_t>::max()) return Error(ErrorKind::kOverflow);

  for (int i = 0; i < count; ++i) {
    if (Status s = StartItem(i, count); !s.ok()) return s;
    const std::string file_name = file1.List(i);
    host.SetStatus("Running : ASCII-->ESRI GRID (" + FormatCounter(i + 1) + "/" +
                   FormatCounter(count) + ")   " + file_name);
    host.Repaint();
    if (Status s = ConvertOne(host, opener, *workspace, grid_folder, file_name, input_path);
        !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

}  // namespace

Status ASCII2GRID(Host& host, BatchMdl& mdl) {
  // The last input path formed; empty until the first file's path is.
  std::string input_path;
  Status status = RunUnderHandler([&] { return ConvertFolder(host, input_path); });
  if (status.ok()) return Status::Ok();
  // A stopped run is not this file's failure: no box of this step, the stop goes on up.
  if (IsCancelled(status)) return status;

  host.MsgBox(input_path + " Error-" + status.description(), kInterruptedTitle);
  host.SetStatus("");
  mdl.bRunOk = false;
  return Status::Ok();
}

}  // namespace terravox
