// SurfaceAnalyser: checks the arguments of the surface operations, then hands them to the makers.
#include "engine/surface_analyser.h"

#include <cmath>
#include <string>

#include "engine/contour_maker.h"
#include "engine/slope_maker.h"

namespace terravox::engine {

Status CheckContourSettings(double interval, double base) {
  if (std::isnan(interval) || interval <= 0) {
    return EngineError("The contour interval must be greater than 0");
  }
  if (!std::isfinite(interval)) return EngineError("The contour interval must be finite");
  if (!std::isfinite(base)) return EngineError("The contour base value must be finite");
  return Status::Ok();
}

Result<ShapefileDataset> SurfaceAnalyser::MakeContours(const RasterDataset& input, double interval,
                                                       const double* base) const {
  const double level_base = base != nullptr ? *base : 0.0;
  if (Status s = CheckContourSettings(interval, level_base); !s.ok()) return s.error();
  const std::optional<Workspace>& workspace = environment_.output_workspace();
  if (!workspace) return EngineError("No output workspace is set for the contours");
  return MakeContourShapefile(input, workspace->path(), interval, level_base);
}

Result<Raster> SurfaceAnalyser::MakeSlope(const RasterDataset& input, int kind,
                                          std::optional<double> z_factor) const {
  if (kind != kSlopeDegrees && kind != kSlopePercentRise) {
    return EngineError("Unknown slope kind " + std::to_string(kind) +
                       " (1 is degrees, 2 is percent rise)");
  }
  const double z = z_factor.value_or(1.0);
  if (!std::isfinite(z) || z == 0) {
    return EngineError("The slope z factor must be a finite number other than 0");
  }
  return MakeSlopeRaster(input, kind, z);
}

}  // namespace terravox::engine
