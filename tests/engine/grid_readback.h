// Reading rasters back through GDAL for the GRID writer and converter tests: GDAL's AIG reader is
// the judge of every GRID we write, its AAIGrid reader the source of truth for ASCII grids.
#pragma once

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/grid_writer.h"

namespace terravox::testing {

// Everything a reader sees of a raster's first band.
struct RasterReadBack {
  std::string error;  // GDAL's complaint; empty when the raster read cleanly
  std::string driver;
  int ncols = 0;
  int nrows = 0;
  std::array<double, 6> geotransform{};
  bool has_nodata = false;
  double nodata = 0;
  std::string srs_wkt;  // empty when the raster has no coordinate system
  double min = 0;       // the band's minimum and maximum as the format reports them
  double max = 0;
  std::vector<float> cells;  // north to south, as float32
};

// Opens path with GDAL and reads band 1 as float32. GDAL reports some damage (a short block)
// only as an error message while returning zeros, so any message counts as a failure.
inline RasterReadBack ReadRasterBack(const std::string& path) {
  // No .aux.xml files beside the rasters under test, whoever runs the tests.
  CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
  GDALAllRegister();
  RasterReadBack back;
  CPLErrorStateBackuper state;
  CPLErrorHandlerPusher quiet(CPLQuietErrorHandler);
  CPLErrorReset();
  GDALDatasetUniquePtr ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!ds) {
    back.error = std::string("cannot open: ") + CPLGetLastErrorMsg();
    return back;
  }
  back.driver = ds->GetDriver()->GetDescription();
  back.ncols = ds->GetRasterXSize();
  back.nrows = ds->GetRasterYSize();
  ds->GetGeoTransform(back.geotransform.data());
  GDALRasterBand* band = ds->GetRasterBand(1);
  int has_nodata = 0;
  back.nodata = band->GetNoDataValue(&has_nodata);
  back.has_nodata = has_nodata != 0;
  back.min = band->GetMinimum();
  back.max = band->GetMaximum();
  if (const OGRSpatialReference* srs = ds->GetSpatialRef()) {
    char* wkt = nullptr;
    srs->exportToWkt(&wkt);
    back.srs_wkt = wkt ? wkt : "";
    CPLFree(wkt);
  }
  back.cells.resize(static_cast<size_t>(back.ncols) * back.nrows);
  CPLErr err = band->RasterIO(GF_Read, 0, 0, back.ncols, back.nrows, back.cells.data(), back.ncols,
                              back.nrows, GDT_Float32, 0, 0, nullptr);
  if (err != CE_None || CPLGetLastErrorType() != CE_None) {
    back.error = std::string("cannot read: ") + CPLGetLastErrorMsg();
  }
  return back;
}

inline uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return bits;
}

// True when two coordinate systems given as WKT describe the same system.
inline bool SameSrs(const std::string& a, const std::string& b) {
  OGRSpatialReference sa;
  OGRSpatialReference sb;
  if (sa.importFromWkt(a.c_str()) != OGRERR_NONE) return false;
  if (sb.importFromWkt(b.c_str()) != OGRERR_NONE) return false;
  return sa.IsSame(&sb);
}

}  // namespace terravox::testing
