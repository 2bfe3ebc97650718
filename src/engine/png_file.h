// PNG files through GDAL's PNG driver, for the pictures of a report. Private to src/engine.
#pragma once

#include <string>

#include "core/status.h"
#include "engine/gdal_scope.h"

namespace terravox::engine {

// Writes the dataset's bands (Byte: grey, RGB or RGBA) as a PNG at path. REQUIRES: a live
// GdalErrorScope. Fails with GDAL's message.
Status WritePng(GDALDataset& picture, const std::string& path);

// The PNG at path, read-only through GDAL's PNG driver only; refuses anything but a regular file.
// REQUIRES: a live GdalErrorScope.
Result<GDALDatasetUniquePtr> OpenPng(const std::string& path);

}  // namespace terravox::engine
