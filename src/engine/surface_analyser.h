// SurfaceAnalyser: contours and slope of a GRID raster.
#pragma once

#include <optional>

#include "core/status.h"
#include "engine/analysis_environment.h"
#include "engine/raster.h"
#include "engine/raster_dataset.h"
#include "engine/shapefile_dataset.h"

namespace terravox::engine {

// MakeSlope kinds.
inline constexpr int kSlopeDegrees = 1;
inline constexpr int kSlopePercentRise = 2;

// What MakeContours refuses before it reads anything: its error for these settings, or OK.
Status CheckContourSettings(double interval, double base);

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
  // factor of 1 when none is given; edge cells computed too, no-data kept as no-data. In a
  // geographic coordinate system the cells are measured in metres on its ellipsoid.
  Result<Raster> MakeSlope(const RasterDataset& input, int kind,
                           std::optional<double> z_factor = std::nullopt) const;

 private:
  AnalysisEnvironment environment_;
};

}  // namespace terravox::engine
