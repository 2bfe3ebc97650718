// CreateContours and DelPreShpFile: the contour Shapefile of one GRID raster.
#pragma once

#include <string>

#include "batch/prepared_outputs.h"
#include "core/host.h"
#include "core/status.h"
#include "engine/raster_dataset.h"

namespace terravox {

// Makes the contours of pRasterDs at dbase + k * dInterval and stores them as the Shapefile
// <strExportFolder>/<raster name>, deleting an old one of that name first. Any failure escapes
// to the caller (not OK); nothing is shown here apart from DelPreShpFile's own message.
// prepared, when given, holds the contours made ahead for the same settings: they take the place
// of making them, after the same steps before it.
Status CreateContours(Host& host, const engine::RasterDataset& pRasterDs,
                      const std::string& strExportFolder, double dInterval, double dbase,
                      PreparedContours* prepared = nullptr);

// Deletes aFileName + ".shp", ".shx", ".dbf", ".sbn", ".sbx", in that order, where each is a
// regular file. A deletion that fails shows "Del_fail <description>" titled "Terravox" and
// ends the deleting; the caller goes on.
void DelPreShpFile(Host& host, const std::string& aFileName);

}  // namespace terravox
