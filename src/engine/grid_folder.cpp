// GRID folder recognition and opening through GDAL's AIG driver.
#include "engine/grid_folder.h"

#include <filesystem>
#include <system_error>

#include "core/paths.h"

namespace terravox::engine {
namespace {

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

bool IsGridFolder(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_directory(path, ec)) return false;
  return IsRegularFile(JoinPath(path, "hdr.adf")) && IsRegularFile(JoinPath(path, "w001001.adf"));
}

Result<GDALDatasetUniquePtr> OpenGridRaster(const std::string& path) {
  EnsureGdalRegistered();
  const char* const allowed_drivers[] = {"AIG", nullptr};
  GDALDatasetUniquePtr dataset(GDALDataset::Open(
      path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, allowed_drivers));
  if (!dataset) return GdalErrorScope::LastError("'" + path + "' is not a GRID raster");
  if (dataset->GetRasterCount() < 1) {
    return Error(ErrorKind::kEngine, "'" + path + "' holds no raster band");
  }
  return dataset;
}

}  // namespace terravox::engine
