// RasterConverter::ConvertRasterFile: an ESRI ASCII grid read by our own strict reader and
// streamed row by row into our GRID writer, so memory stays at one block row whatever its size.
// No GDAL driver sees the input: none can follow a path written inside it.
#include "engine/raster_converter.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "core/paths.h"
#include "engine/ascii_grid_reader.h"
#include "engine/grid_format.h"
#include "engine/grid_writer.h"
#include "engine/prj_sidecar.h"
#include "engine/raster_geometry.h"

namespace terravox::engine {
namespace {

// The GRID of the input under a temporary name beside target, finished but not committed.
// ahead: target may still exist (it is checked when the grid is committed).
Result<PendingDir> WriteGridOf(const std::string& input_path, const std::string& target,
                               bool ahead) {
  Result<std::unique_ptr<AsciiGridReader>> reader = AsciiGridReader::Open(input_path);
  if (!reader.ok()) return reader.error();
  const AsciiGridHeader& header = (*reader)->header();
  Result<std::optional<PrjSidecar>> prj = ReadPrjSidecar(input_path);
  if (!prj.ok()) return prj.error();

  std::array<double, 6> gt = (*reader)->GeoTransform();
  if (*prj && (*prj)->arc_seconds) {
    // The header of a grid in geographic seconds counts seconds; GRIDs hold degrees.
    for (double& term : gt) term /= 3600.0;
  }
  Result<GridGeometry> geometry =
      GridGeometryFromTransform(gt, header.ncols, header.nrows, input_path);
  if (!geometry.ok()) return geometry.error();
  if (*prj) geometry->srs_wkt = (*prj)->wkt;

  Result<std::unique_ptr<GridWriter>> writer =
      ahead ? GridWriter::CreateAhead(target, *geometry) : GridWriter::Create(target, *geometry);
  if (!writer.ok()) return writer.error();
  std::vector<float> row(static_cast<size_t>(header.ncols));
  for (int r = 0; r < header.nrows; ++r) {
    if (Status s = (*reader)->ReadRow(row, kGridFloatNoData); !s.ok()) return s.error();
    if (Status s = (*writer)->WriteRow(row); !s.ok()) return s.error();
  }
  if (Status s = (*reader)->Finish(); !s.ok()) return s.error();
  return (*writer)->Finish();
}

Error InvalidNameError(const std::string& name) {
  return Error(ErrorKind::kEngine, "Not a valid raster name: `" + name + "'");
}

}  // namespace

Result<PendingDir> RasterConverter::PrepareRasterFile(const std::string& input_path,
                                                      const std::string& folder,
                                                      const std::string& name) const {
  if (!IsPlainName(name)) return InvalidNameError(name);
  return WriteGridOf(input_path, JoinPath(folder, name), /*ahead=*/true);
}

Status RasterConverter::ConvertRasterFile(const std::string& input_path, const Workspace& workspace,
                                          const std::string& name, const std::string& format,
                                          int /*flags*/, Result<PendingDir>* prepared) const {
  if (Status s = CheckGridFormat(format); !s.ok()) return s;
  if (!IsPlainName(name)) return InvalidNameError(name);
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
