// What counts as a GRID raster on disk, and opening one through GDAL's reader. Private to
// src/gis: the workspace, the dataset operations and the surface operations share these rules.
#pragma once

#include <string>

#include "core/status.h"
#include "engine/gdal_scope.h"
#include "engine/raster_dataset.h"

namespace terravox::engine {

// True when path is a folder (or a link to one) holding the files hdr.adf and w001001.adf (of
// any kind but folders, links that lead nowhere included), each named in lower case or in
// capitals (grid_files.h): the two files GDAL's reader needs to recognise a GRID.
bool IsGridFolder(const std::string& path);

// OK when every file GDAL's reader may open for the GRID at path is a regular file or missing:
// the files of the GRID's folder, its side files in the parent folder (NAME.clr, .aux, .aux.xml,
// .ovr, .msk) and the parent's info folder. A FIFO there would block the read forever. A GRID
// file (kGridComponentFiles) that is a link that cannot be followed fails too, naming it.
Status CheckGridFilesAreRegular(const std::string& path);

// The GRID at path opened read-only through GDAL's AIG driver, and only that driver, so a
// GeoTIFF, an ASCII grid or a VRT never passes for a GRID. Refuses a GDAL virtual path (/vsi...),
// a GRID with a file that is no regular file (CheckGridFilesAreRegular), naming it, and a GRID
// whose declared size its tile indexes do not back (CheckDeclaredSizeBacked).
// REQUIRES: a live GdalErrorScope. Fails with GDAL's message.
Result<GDALDatasetUniquePtr> OpenGridRaster(const std::string& path);

// The raster for an operation: a dataset over its held cells (held_grid.h) that reports what the
// GRID reports, else the GRID opened by OpenGridRaster. REQUIRES: a live GdalErrorScope.
Result<GDALDatasetUniquePtr> OpenRaster(const RasterDataset& raster);
// A MEM dataset that reads held cells in place and reports what their GRID reports.
Result<GDALDatasetUniquePtr> OpenHeldGrid(const HeldGrid& held);

}  // namespace terravox::engine
