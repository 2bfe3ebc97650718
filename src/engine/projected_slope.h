// Horn's slope of a raster measured in its own units, computed here on the padded cells with
// GDAL's own arithmetic, so that its cells are those GDAL's DEM processing gives, bit for bit.
#pragma once

#include <span>
#include <vector>

namespace terravox::engine {

// The padded cells ((ncols + 2) x (nrows + 2), ExtrapolateBorder) and how to measure them.
struct ProjectedSlopeInput {
  std::span<const float> padded;
  int ncols = 0;
  float nodata = 0;        // NaN: NaN cells are the no-data
  double cell_width = 0;   // the geotransform's west-east step
  double cell_height = 0;  // its north-south step (negative for rows north to south)
  int kind = 0;            // kSlopeDegrees or kSlopePercentRise
  double z = 1;            // heights times z: finite, not 0
};

class ProjectedSlope {
 public:
  // Looks once at every padded row. The padded cells must outlive this.
  explicit ProjectedSlope(const ProjectedSlopeInput& input);

  // False when a cell lies within GDAL's tolerance of a numeric no-data value without equalling
  // it: GDAL takes such cells for no-data in some windows and not in others, and only its own
  // processing gives its cells then.
  bool MatchesGdal() const { return !near_nodata_; }

  // The slope of raster rows [first, end) into out (one row of ncols after another). A no-data
  // cell stays no-data (kGridFloatNoData); a no-data neighbour takes the value of the cell in the
  // middle, as GDAL's edge rule does; a window that gives no number (NaN) is no-data. Safe to
  // call from several threads for rows apart.
  void Rows(int first, int end, float* out) const;

 private:
  ProjectedSlopeInput input_;
  std::vector<char> gaps_;  // per padded row: it holds a no-data cell or a NaN
  bool near_nodata_ = false;
};

}  // namespace terravox::engine
