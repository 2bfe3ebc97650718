// DatasetEnum: the rasters a workspace listed, taken one by one.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "engine/raster_dataset.h"

namespace terravox::engine {

class DatasetEnum {
 public:
  explicit DatasetEnum(std::vector<RasterDataset> datasets) : datasets_(std::move(datasets)) {}
  // The next raster; none after the last.
  std::optional<RasterDataset> NextDataset() {
    if (next_ >= datasets_.size()) return std::nullopt;
    return datasets_[next_++];
  }

 private:
  std::vector<RasterDataset> datasets_;
  size_t next_ = 0;
};

}  // namespace terravox::engine
