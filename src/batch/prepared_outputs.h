// The outputs of one raster worked out ahead of the raster walk: its slope GRID, its contour
// Shapefile and its pictures under temporary names, waiting for the walk to reach the raster and
// name them.
#pragma once

#include <optional>
#include <utility>

#include "batch/extra_outputs.h"
#include "batch/tile_quicklook.h"
#include "core/status.h"
#include "engine/pending_dir.h"
#include "engine/shapefile_dataset.h"

namespace terravox {

// Contours under a temporary name; removed unless the walk takes them.
class PreparedContours {
 public:
  PreparedContours() = default;
  explicit PreparedContours(Result<engine::ShapefileDataset> contours)
      : contours_(std::move(contours)) {}
  PreparedContours(PreparedContours&& other) noexcept : contours_(std::move(other.contours_)) {
    other.contours_.reset();
  }
  PreparedContours& operator=(PreparedContours&&) = delete;
  PreparedContours(const PreparedContours&) = delete;
  PreparedContours& operator=(const PreparedContours&) = delete;
  ~PreparedContours() {
    if (contours_ && contours_->ok()) (void)(*contours_)->RemoveDataset();
  }

  void Set(Result<engine::ShapefileDataset> contours) { contours_.emplace(std::move(contours)); }
  bool has_value() const { return contours_.has_value(); }
  // The contours, now the caller's to name or remove.
  Result<engine::ShapefileDataset> Take() {
    Result<engine::ShapefileDataset> taken = std::move(*contours_);
    contours_.reset();
    return taken;
  }

 private:
  std::optional<Result<engine::ShapefileDataset>> contours_;
};

struct PreparedRaster {
  std::optional<Result<engine::PendingDir>> slope;  // a finished slope GRID, not yet named
  PreparedCog slope_cog;                            // its COG, when one is written
  PreparedContours contours;
  std::optional<PendingQuicklook> quicklook;  // when the run makes pictures
};

}  // namespace terravox
