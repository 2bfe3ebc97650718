// WritePng and OpenPng on GDAL's PNG driver.
#include "engine/png_file.h"

#include <filesystem>
#include <system_error>

namespace terravox::engine {

Status WritePng(GDALDataset& picture, const std::string& path) {
  GDALDriver* png = GetGDALDriverManager()->GetDriverByName("PNG");
  if (png == nullptr) return EngineError("GDAL's PNG driver is missing");
  // Pictures are written once and looked at once: light compression costs a fraction of the
  // time for files about a fifth larger.
  CPLStringList options;
  options.SetNameValue("ZLEVEL", "1");
  CPLErrorReset();
  GDALDatasetUniquePtr written(
      png->CreateCopy(path.c_str(), &picture, FALSE, options.List(), nullptr, nullptr));
  if (!written) return GdalErrorScope::LastError("Cannot write " + path);
  // Closing flushes the file and reports failures only through the error state.
  written.reset();
  if (GdalErrorScope::HasFailure()) return GdalErrorScope::LastError("Cannot write " + path);
  return Status::Ok();
}

Result<GDALDatasetUniquePtr> OpenPng(const std::string& path) {
  std::error_code ec;
  if (IsGdalVirtualPath(path) || !std::filesystem::is_regular_file(path, ec)) {
    return EngineError("'" + path + "' is no picture file");
  }
  const char* const drivers[] = {"PNG", nullptr};
  GDALDatasetUniquePtr png(
      GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers));
  if (!png || png->GetRasterCount() < 1) {
    return GdalErrorScope::LastError("'" + path + "' is no PNG picture");
  }
  return png;
}

}  // namespace terravox::engine
