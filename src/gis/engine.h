// The GIS engine: workspaces (folders), GRID raster datasets, raster conversion, contours and
// slope, on GDAL. Failures come back as values whose description is the engine's own text.
// Nothing here shows a message or touches the window: the batch steps decide what users see.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/status.h"
#include "gis/grid_writer.h"

namespace terravox::gis {

// ListDatasets kind: the raster datasets of a workspace.
inline constexpr int kRasterDatasetKind = 12;
// MakeSlope kinds.
inline constexpr int kSlopeDegrees = 1;
inline constexpr int kSlopePercentRise = 2;

class DatasetEnum;
class RasterDataset;

// A folder opened as a workspace.
class Workspace {
 public:
  const std::string& path() const { return path_; }

  // The datasets of a kind: for kRasterDatasetKind the ESRI GRID rasters of the folder (its
  // sub-folders holding hdr.adf and w001001.adf), in name order; other kinds give none.
  Result<DatasetEnum> ListDatasets(int kind) const;

  // The GRID of that name in this workspace, or none.
  Result<std::optional<RasterDataset>> FindRaster(const std::string& name) const;

 private:
  friend class WorkspaceOpener;
  explicit Workspace(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

class WorkspaceOpener {
 public:
  // The workspace of an existing folder; the flags are accepted and ignored.
  Result<Workspace> OpenFolder(const std::string& path, int flags) const;
};

// A GRID raster on disk; it also serves as the analysis input of the surface operations.
class RasterDataset {
 public:
  // The raster at a GRID folder path; whether it is a GRID is checked by the operations.
  explicit RasterDataset(std::string path) : path_(std::move(path)) {}

  // The full path of the raster, platform separators: its last piece is the raster's name.
  std::string GetDatasetPath() const { return path_; }
  // True when this user may remove the raster's files and folder.
  bool IsDeletable() const;
  // Removes the raster's folder from disk; refuses a folder that is not a GRID.
  Status RemoveDataset() const;

 private:
  std::string path_;
};

// An enumeration of datasets, taken one by one.
class DatasetEnum {
 public:
  explicit DatasetEnum(std::vector<RasterDataset> datasets) : datasets_(std::move(datasets)) {}
  // The next raster; none after the last.
  std::optional<RasterDataset> NextDataset();

 private:
  std::vector<RasterDataset> datasets_;
  size_t next_ = 0;
};

class RasterConverter {
 public:
  // Reads any raster GDAL reads (an ESRI ASCII grid with its optional .prj sidecar above all)
  // and writes it as a GRID of that name in the workspace. Only "GRID" is a known format; the
  // flags are accepted and ignored. Fails with GDAL's message when the input is not a raster,
  // and fails when a dataset of that name exists.
  Status ConvertRasterFile(const std::string& input_path, const Workspace& workspace,
                           const std::string& name, const std::string& format, int flags) const;
};

// A contour Shapefile made by MakeContours, under a temporary name until renamed.
class ShapefileDataset {
 public:
  ShapefileDataset(std::string folder, std::string name)
      : folder_(std::move(folder)), name_(std::move(name)) {}
  // Folder, separator and name, without extension.
  std::string GetDatasetPath() const;
  const std::string& name() const { return name_; }

  // Renames every file of the Shapefile. Fails when a .shp, .shx or .dbf of the new name
  // exists; stale companion files of the new name (.prj, .cpg, .sbn, .sbx) are replaced.
  Status SetDatasetName(const std::string& name);

  // Deletes every file of the Shapefile (all files named <name>.<anything>).
  Status RemoveDataset() const;

 private:
  std::string folder_;
  std::string name_;
};

// A float raster held in memory, such as a slope; cells north to south, kGridFloatNoData for
// no-data.
class Raster {
 public:
  Raster(GridGeometry geometry, std::vector<float> cells)
      : geometry_(std::move(geometry)), cells_(std::move(cells)) {}
  const GridGeometry& geometry() const { return geometry_; }
  const std::vector<float>& cells() const { return cells_; }

  // Writes the raster as a GRID at that path ("GRID" is the only format; no workspace is used).
  // Fails when a dataset exists at that path.
  Status StoreRaster(const std::string& path, const Workspace* workspace,
                     const std::string& format) const;

 private:
  GridGeometry geometry_;
  std::vector<float> cells_;
};

// Where the surface operations put their results.
class AnalysisEnvironment {
 public:
  void SetOutputWorkspace(const Workspace& workspace) { output_workspace_ = workspace; }
  const std::optional<Workspace>& output_workspace() const { return output_workspace_; }

 private:
  std::optional<Workspace> output_workspace_;
};

class SurfaceAnalyser {
 public:
  AnalysisEnvironment& Environment() { return environment_; }

  // Contour lines at base + k * interval for every whole k within the raster's data range
  // (base 0 when none is given), written as an ESRI Shapefile under a fresh temporary name in
  // the output workspace: fields "ID" (integer) and "CONTOUR" (double), a .prj when the raster
  // has a coordinate system. A zero or negative interval, or no output workspace, is an error.
  Result<ShapefileDataset> MakeContours(const RasterDataset& input, double interval,
                                        const double* base) const;

  // The slope by Horn's method (as GDAL's slope), kSlopeDegrees or kSlopePercentRise, with a z
  // factor of 1 when none is given; edge cells computed too, no-data kept as no-data.
  Result<Raster> MakeSlope(const RasterDataset& input, int kind,
                           std::optional<double> z_factor = std::nullopt) const;

 private:
  AnalysisEnvironment environment_;
};

}  // namespace terravox::gis
