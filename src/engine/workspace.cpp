// Workspaces: opening a folder, listing its GRID rasters in name order, finding one by name.
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/folder_listing.h"
#include "core/paths.h"
#include "engine/grid_folder.h"
#include "engine/workspace.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;

Error FolderNotFound(const std::string& path) {
  return Error(ErrorKind::kPathNotFound, "Path not found: " + path);
}

}  // namespace

Result<DatasetEnum> Workspace::ListDatasets(int kind) const {
  if (kind != kRasterDatasetKind) return DatasetEnum({});
  std::error_code ec;
  fs::directory_iterator it(path_, ec);
  if (ec) return FolderNotFound(path_);
  std::vector<std::string> names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return FolderNotFound(path_);
    std::string name = it->path().filename().string();
    // Hidden names are no rasters: among them the temporary folders of GRIDs being written.
    if (name.empty() || name[0] == '.') continue;
    if (IsGridFolder(JoinPath(path_, name))) names.push_back(std::move(name));
  }
  if (ec) return FolderNotFound(path_);
  std::sort(names.begin(), names.end(), FileNameLess);

  std::vector<RasterDataset> datasets;
  datasets.reserve(names.size());
  for (const std::string& name : names) datasets.emplace_back(JoinPath(path_, name));
  return DatasetEnum(std::move(datasets));
}

Result<std::optional<RasterDataset>> Workspace::FindRaster(const std::string& name) const {
  std::error_code ec;
  if (!fs::is_directory(path_, ec)) return FolderNotFound(path_);
  if (!IsPlainName(name)) return std::optional<RasterDataset>();
  std::string path = JoinPath(path_, name);
  if (!IsGridFolder(path)) return std::optional<RasterDataset>();
  return std::optional<RasterDataset>(RasterDataset(std::move(path)));
}

}  // namespace terravox::engine
