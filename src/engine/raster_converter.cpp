// RasterConverter::ConvertRasterFile: any raster GDAL reads, streamed one block row at a time
// into our GRID writer, so memory stays at one block row whatever the raster's size.
#include <cmath>
#include <filesystem>
#include <vector>

#include "core/paths.h"
#include "engine/gdal_scope.h"
#include "engine/grid_format.h"
#include "engine/pending_dir.h"
#include "engine/raster_converter.h"
#include "engine/raster_geometry.h"

namespace terravox::engine {
namespace {

// Reads the band a block row at a time, turning its own no-data value into the GRID's.
Status CopyCells(GDALRasterBand& band, const GridGeometry& g, GridWriter& writer) {
  int has_nodata = 0;
  // GDAL hands a float32 band's no-data value back already rounded to float32.
  const double nodata = band.GetNoDataValue(&has_nodata);
  const size_t ncols = static_cast<size_t>(g.ncols);
  // Doubles, so integer and float64 bands compare with their no-data value exactly.
  std::vector<double> window(ncols * kBlockHeight);
  std::vector<float> row(ncols);
  for (int top = 0; top < g.nrows; top += kBlockHeight) {
    int height = std::min(kBlockHeight, g.nrows - top);
    if (band.RasterIO(GF_Read, 0, top, g.ncols, height, window.data(), g.ncols, height, GDT_Float64,
                      0, 0, nullptr) != CE_None) {
      return GdalErrorScope::LastError("The raster cannot be read");
    }
    // Read blocks are never needed again: dropping them keeps GDAL's cache from growing too.
    band.FlushCache(false);
    for (int r = 0; r < height; ++r) {
      const double* in = window.data() + static_cast<size_t>(r) * ncols;
      for (size_t c = 0; c < ncols; ++c) {
        double v = in[c];
        row[c] = has_nodata && v == nodata ? kGridFloatNoData : static_cast<float>(v);
      }
      if (Status s = writer.WriteRow(row); !s.ok()) return s;
    }
  }
  return Status::Ok();
}

// The GRID of the input under a temporary name beside target, finished but not committed.
// ahead: target may still exist (it is checked when the grid is committed).
Result<PendingDir> WriteGridOf(const std::string& input_path, const std::string& target,
                               bool ahead) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  GDALDatasetUniquePtr ds(GDALDataset::Open(input_path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!ds) {
    return GdalErrorScope::LastError("`" + input_path +
                                     "' not recognized as a supported file format.");
  }
  if (ds->GetRasterCount() < 1) {
    return Error(ErrorKind::kEngine, "The raster `" + input_path + "' has no band");
  }
  Result<GridGeometry> geometry = GridGeometryOf(*ds, input_path);
  if (!geometry) return geometry.error();
  Result<std::unique_ptr<GridWriter>> writer =
      ahead ? GridWriter::CreateAhead(target, *geometry) : GridWriter::Create(target, *geometry);
  if (!writer) return writer.error();
  if (Status s = CopyCells(*ds->GetRasterBand(1), *geometry, **writer); !s.ok()) return s.error();
  return (*writer)->Finish();
}

}  // namespace

Result<PendingDir> RasterConverter::PrepareRasterFile(const std::string& input_path,
                                                      const std::string& folder,
                                                      const std::string& name) const {
  if (!IsPlainName(name))
    return Error(ErrorKind::kEngine, "Not a valid raster name: `" + name + "'");
  return WriteGridOf(input_path, JoinPath(folder, name), /*ahead=*/true);
}

Status RasterConverter::ConvertRasterFile(const std::string& input_path, const Workspace& workspace,
                                          const std::string& name, const std::string& format,
                                          int /*flags*/, Result<PendingDir>* prepared) const {
  if (Status s = CheckGridFormat(format); !s.ok()) return s;
  if (!IsPlainName(name)) {
    return Error(ErrorKind::kEngine, "Not a valid raster name: `" + name + "'");
  }
  std::string target = JoinPath(workspace.path(), name);
  std::error_code ec;
  if (std::filesystem::symlink_status(target, ec).type() != std::filesystem::file_type::not_found) {
    return DatasetExistsError(target);
  }
  Result<PendingDir> grid =
      prepared != nullptr ? std::move(*prepared) : WriteGridOf(input_path, target, /*ahead=*/false);
  if (!grid.ok()) return grid.error();
  return grid->Commit();
}

}  // namespace terravox::engine
