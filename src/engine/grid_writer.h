// GridWriter: our own writer of ESRI binary GRID rasters (float32 cells, one tile of 256 x 4
// blocks). GDAL only reads the format; its reader is the judge that what we write is right.
#pragma once

#include <cstdio>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/status.h"
#include "engine/pending_dir.h"

namespace terravox::engine {

// The float no-data value of the format, matched bit for bit by readers.
inline constexpr float kGridFloatNoData = -std::numeric_limits<float>::max();

// Size and georeferencing of a grid. The cell area spans west .. west + ncols * cell_width and
// south .. south + nrows * cell_height.
struct GridGeometry {
  int ncols = 0;
  int nrows = 0;
  double west = 0;
  double south = 0;
  double cell_width = 0;
  double cell_height = 0;
  std::string srs_wkt;  // coordinate system as WKT; empty when none (no prj.adf)
};

// Writes one GRID row by row, north to south. The grid is written into a temporary folder beside
// its target and renamed into place by Commit(), so a failure never leaves a broken GRID under
// the real name; a writer destroyed before Commit() removes its temporary folder. Memory holds
// one block row (4 rows), whatever the raster size.
class GridWriter {
 public:
  // Starts a grid at grid_path (the grid's folder). Fails on a geometry with no cells, a cell
  // size that is not positive and finite, or bounds that would not give back ncols and nrows
  // (corners too far from the origin for the cell size), when grid_path already exists, or when the
  // parent folder cannot take the temporary folder.
  static Result<std::unique_ptr<GridWriter>> Create(const std::string& grid_path,
                                                    const GridGeometry& geometry);
  // The same while grid_path may still exist: for a grid written ahead and committed later
  // through Finish(), once the old grid is gone.
  static Result<std::unique_ptr<GridWriter>> CreateAhead(const std::string& grid_path,
                                                         const GridGeometry& geometry);

 private:
  static Result<std::unique_ptr<GridWriter>> Start(Result<PendingDir> dir,
                                                   const GridGeometry& geometry);

 public:
  ~GridWriter();
  GridWriter(const GridWriter&) = delete;
  GridWriter& operator=(const GridWriter&) = delete;

  // Appends the next row: ncols values, kGridFloatNoData or NaN for no-data cells. A real value
  // equal to -FLT_MAX cannot be told from no-data: it reads back as no-data. -0.0 and every other
  // value keep their exact bits.
  Status WriteRow(std::span<const float> row);
  // REQUIRES: every row written. Writes the index, header, bounds, statistics and prj.adf and
  // renames the folder into place; fails when a grid of that name appeared meanwhile.
  Status Commit();
  // As Commit(), but leaves the finished grid in its temporary folder for the caller to commit.
  Result<PendingDir> Finish();

  // Bytes the writer holds for cells: one block row of records, whatever the raster's height.
  size_t buffer_capacity() const;

 private:
  struct Impl;
  explicit GridWriter(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Writes a whole raster held in memory (rows north to south) through GridWriter.
Status WriteGrid(const std::string& grid_path, const GridGeometry& geometry,
                 std::span<const float> cells);
// The same ahead: grid_path may still exist; the finished grid waits for the caller's commit.
Result<PendingDir> WriteGridAhead(const std::string& grid_path, const GridGeometry& geometry,
                                  std::span<const float> cells);

}  // namespace terravox::engine
