// Test helpers for the engine operations: GRID surfaces written through our writer, contour
// Shapefiles read back through OGR, small line Shapefiles made with OGR, and who runs the tests.
#pragma once

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/grid_writer.h"

namespace terravox::testing {

// A grid of ncols x nrows cells of cell_width x cell_height with its south-west corner at a
// UTM-like place, so that georeferencing mistakes show up as large offsets.
inline engine::GridGeometry SurfaceGeometry(int ncols, int nrows, double cell_width,
                                            double cell_height, std::string srs_wkt = "") {
  engine::GridGeometry geometry;
  geometry.ncols = ncols;
  geometry.nrows = nrows;
  geometry.west = 500000;
  geometry.south = 4000000;
  geometry.cell_width = cell_width;
  geometry.cell_height = cell_height;
  geometry.srs_wkt = std::move(srs_wkt);
  return geometry;
}

// Writes the GRID at path with z(x, y) at each cell centre, x and y measured from the grid's
// south-west corner (small numbers keep float32 cells exact enough); cells listed in holes as
// {col, row} (row 0 the northernmost) are no-data.
inline void MakeSurfaceGrid(const std::string& path, const engine::GridGeometry& geometry,
                            const std::function<double(double x, double y)>& z,
                            const std::vector<std::pair<int, int>>& holes = {}) {
  std::vector<float> cells;
  cells.reserve(static_cast<size_t>(geometry.ncols) * geometry.nrows);
  for (int row = 0; row < geometry.nrows; ++row) {
    for (int col = 0; col < geometry.ncols; ++col) {
      const double x = (col + 0.5) * geometry.cell_width;
      const double y = (geometry.nrows - row - 0.5) * geometry.cell_height;
      cells.push_back(static_cast<float>(z(x, y)));
    }
  }
  for (auto [col, row] : holes) {
    cells[static_cast<size_t>(row) * geometry.ncols + col] = engine::kGridFloatNoData;
  }
  Status written = engine::WriteGrid(path, geometry, cells);
  ASSERT_TRUE(written.ok()) << written.description();
}

// The plane z = a * x + b * y.
inline void MakePlaneGrid(const std::string& path, const engine::GridGeometry& geometry, double a,
                          double b, const std::vector<std::pair<int, int>>& holes = {}) {
  MakeSurfaceGrid(
      path, geometry, [a, b](double x, double y) { return a * x + b * y; }, holes);
}

// A cone of height `top` at the grid's centre, falling `fall` per unit of distance.
inline void MakeConeGrid(const std::string& path, const engine::GridGeometry& geometry, double top,
                         double fall, const std::vector<std::pair<int, int>>& holes = {}) {
  const double cx = geometry.ncols * geometry.cell_width / 2;
  const double cy = geometry.nrows * geometry.cell_height / 2;
  MakeSurfaceGrid(
      path, geometry, [=](double x, double y) { return top - fall * std::hypot(x - cx, y - cy); },
      holes);
}

// A GRID as GDAL reads it: size, geotransform, coordinate system and band 1 as float32.
struct GridReadBack {
  bool opened = false;
  int ncols = 0;
  int nrows = 0;
  double transform[6] = {};
  std::string srs_wkt;  // empty when the raster has no coordinate system
  std::vector<float> cells;

  // The cell values interpolated bilinearly at (x, y) between the surrounding cell centres;
  // NaN outside the hull of the centres.
  double Bilinear(double x, double y) const {
    const double fx = (x - transform[0]) / transform[1] - 0.5;
    const double fy = (y - transform[3]) / transform[5] - 0.5;
    const double eps = 1e-9;
    if (fx < -eps || fy < -eps || fx > ncols - 1 + eps || fy > nrows - 1 + eps) return NAN;
    const int col = std::min(static_cast<int>(std::floor(fx + eps)), ncols - 2);
    const int row = std::min(static_cast<int>(std::floor(fy + eps)), nrows - 2);
    const double tx = fx - col;
    const double ty = fy - row;
    auto at = [&](int c, int r) { return static_cast<double>(cells[r * ncols + c]); };
    return (1 - ty) * ((1 - tx) * at(col, row) + tx * at(col + 1, row)) +
           ty * ((1 - tx) * at(col, row + 1) + tx * at(col + 1, row + 1));
  }
};

inline GridReadBack ReadGridBack(const std::string& path) {
  GDALAllRegister();
  GridReadBack grid;
  GDALDatasetUniquePtr ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!ds || ds->GetGeoTransform(grid.transform) != CE_None) return grid;
  grid.ncols = ds->GetRasterXSize();
  grid.nrows = ds->GetRasterYSize();
  grid.srs_wkt = ds->GetProjectionRef();
  grid.cells.resize(static_cast<size_t>(grid.ncols) * grid.nrows);
  grid.opened =
      ds->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, grid.ncols, grid.nrows, grid.cells.data(),
                                     grid.ncols, grid.nrows, GDT_Float32, 0, 0) == CE_None;
  return grid;
}

// A projected coordinate system (UTM zone 33 north) as WKT.
inline std::string UtmZone33Wkt() {
  OGRSpatialReference srs;
  srs.SetProjCS("WGS 84 / UTM zone 33N");
  srs.SetWellKnownGeogCS("WGS84");
  srs.SetUTM(33, TRUE);
  char* wkt = nullptr;
  srs.exportToWkt(&wkt);
  std::string text = wkt != nullptr ? wkt : "";
  CPLFree(wkt);
  return text;
}

struct ContourLine {
  int id = 0;
  double level = 0;
  std::vector<std::pair<double, double>> points;
};

struct ContourShapefile {
  bool opened = false;
  bool has_srs = false;
  OGRFieldType id_type = OFTString;       // type of "ID"; OFTString when the field is missing
  OGRFieldType contour_type = OFTString;  // type of "CONTOUR"; likewise
  std::vector<ContourLine> lines;
};

// Every line feature of the Shapefile at shp_path as OGR reads it.
inline ContourShapefile ReadContourShapefile(const std::string& shp_path) {
  GDALAllRegister();
  ContourShapefile result;
  GDALDatasetUniquePtr ds(GDALDataset::Open(shp_path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!ds || ds->GetLayerCount() != 1) return result;
  result.opened = true;
  OGRLayer* layer = ds->GetLayer(0);
  result.has_srs = layer->GetSpatialRef() != nullptr;
  OGRFeatureDefn* defn = layer->GetLayerDefn();
  const int id_field = defn->GetFieldIndex("ID");
  const int contour_field = defn->GetFieldIndex("CONTOUR");
  if (id_field >= 0) result.id_type = defn->GetFieldDefn(id_field)->GetType();
  if (contour_field >= 0) result.contour_type = defn->GetFieldDefn(contour_field)->GetType();
  for (auto& feature : *layer) {
    ContourLine line;
    if (id_field >= 0) line.id = feature->GetFieldAsInteger(id_field);
    if (contour_field >= 0) line.level = feature->GetFieldAsDouble(contour_field);
    const OGRGeometry* geometry = feature->GetGeometryRef();
    if (geometry != nullptr && wkbFlatten(geometry->getGeometryType()) == wkbLineString) {
      for (const OGRPoint& point : *geometry->toLineString()) {
        line.points.emplace_back(point.getX(), point.getY());
      }
    }
    result.lines.push_back(std::move(line));
  }
  return result;
}

// Every line of the first layer of a vector dataset (a contour Shapefile or GeoPackage) as
// "tile|ID|CONTOUR|WKT", sorted: the tile from the field "tile", else the given one. Empty when the
// dataset cannot be opened.
inline std::vector<std::string> ContourLineTexts(const std::string& path,
                                                 const std::string& tile = "") {
  GDALAllRegister();
  std::vector<std::string> texts;
  GDALDatasetUniquePtr ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!ds || ds->GetLayerCount() < 1) return texts;
  OGRLayer* layer = ds->GetLayer(0);
  const int tile_field = layer->GetLayerDefn()->GetFieldIndex("tile");
  for (auto& feature : *layer) {
    char* wkt = nullptr;
    if (feature->GetGeometryRef() != nullptr) feature->GetGeometryRef()->exportToWkt(&wkt);
    texts.push_back((tile_field >= 0 ? feature->GetFieldAsString(tile_field) : tile) + "|" +
                    std::to_string(feature->GetFieldAsInteger("ID")) + "|" +
                    CPLSPrintf("%.17g", feature->GetFieldAsDouble("CONTOUR")) + "|" +
                    (wkt != nullptr ? wkt : ""));
    CPLFree(wkt);
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

// A small line Shapefile <folder>/<name>.shp (.shx, .dbf, and .prj when with_prj) made by OGR.
inline void WriteLineShapefile(const std::string& folder, const std::string& name, bool with_prj) {
  GDALAllRegister();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
  ASSERT_NE(driver, nullptr);
  const std::string path = folder + "/" + name + ".shp";
  GDALDatasetUniquePtr ds(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  ASSERT_TRUE(ds) << path;
  // A driver may keep a reference to the layer's coordinate system instead of a copy, so it
  // lives on the heap and is released, never deleted.
  struct Releaser {
    void operator()(OGRSpatialReference* srs) const { srs->Release(); }
  };
  std::unique_ptr<OGRSpatialReference, Releaser> srs(
      OGRSpatialReference::FromHandle(OSRNewSpatialReference(nullptr)));
  srs->SetWellKnownGeogCS("WGS84");
  OGRLayer* layer = ds->CreateLayer(name.c_str(), with_prj ? srs.get() : nullptr, wkbLineString);
  ASSERT_NE(layer, nullptr);
  OGRFieldDefn field("CONTOUR", OFTReal);
  ASSERT_EQ(layer->CreateField(&field), OGRERR_NONE);
  OGRFeatureUniquePtr feature(OGRFeature::CreateFeature(layer->GetLayerDefn()));
  feature->SetField("CONTOUR", 12.5);
  OGRLineString line;
  line.addPoint(1, 2);
  line.addPoint(3, 4);
  feature->SetGeometry(&line);
  ASSERT_EQ(layer->CreateFeature(feature.get()), OGRERR_NONE);
}

// Root passes every permission check, so tests of refused permissions cannot run as root.
inline bool RunningAsRoot() { return geteuid() == 0; }

}  // namespace terravox::testing
