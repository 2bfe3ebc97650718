// FloatCellsDataset: float cells in the caller's memory seen by GDAL as a one-band MEM dataset,
// read in place, so GDAL's operations run on cells we already hold without a copy.
#pragma once

#include <gdal_priv.h>

#include <string>

#include "core/status.h"

namespace terravox::engine {

// A MEM dataset of ncols x nrows whose band 1 (float32) reads cells, row by row from the north.
// The cells must outlive the dataset, which only reads them. It has no georeferencing or no-data
// value yet. Fails with GDAL's message, or failure when it has none.
Result<GDALDatasetUniquePtr> FloatCellsDataset(const float* cells, int ncols, int nrows,
                                               const std::string& failure);

}  // namespace terravox::engine
