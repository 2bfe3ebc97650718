// RasterConverter::ConvertRasterFile: an ESRI ASCII grid read by our own strict reader and
// streamed row by row into our GRID writer, so memory stays at one block row whatever its size.
// No GDAL driver sees the input: none can follow a path written inside it.
#include "engine/raster_converter.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
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

// The files of a GRID its cells lie in: a change to any of them may change the cells.
constexpr const char* kCellFiles[] = {"w001001.adf", "w001001x.adf", "hdr.adf", "dblbnd.adf"};

// The reader of the input: its header read from the handed header text when its cells are
// handed on (the file is as written then), else the file opened.
Result<std::unique_ptr<AsciiGridReader>> OpenInput(const std::string& input_path,
                                                   const HandedCells* handed) {
  if (handed == nullptr) return AsciiGridReader::Open(input_path);
  return AsciiGridReader::FromText(handed->header, input_path, AsciiGridReader::kMinChunkSize);
}

// Room for the GRID's cells in the hand-over, when it has room for them all.
std::optional<PendingCells> CellsRoom(CellHandOver* output, const AsciiGridHeader& header) {
  if (output == nullptr) return std::nullopt;
  const size_t count = static_cast<size_t>(header.ncols) * static_cast<size_t>(header.nrows);
  CellHandOver::Room room = output->Reserve(count * sizeof(float));
  if (!room) return std::nullopt;
  auto cells = std::make_shared<HandedCells>();
  cells->ncols = header.ncols;
  cells->nrows = header.nrows;
  cells->cells.reserve(count);
  return PendingCells{std::move(cells), std::move(room)};
}

// Stamps the gathered cells with the GRID's files in its temporary folder; drops them when one
// cannot be stamped.
void StampCells(const PendingDir& dir, std::optional<PendingCells>& cells) {
  if (!cells) return;
  for (const char* name : kCellFiles) {
    Result<FileStamp> stamp = StampOf(JoinPath(dir.temp_path(), name));
    if (!stamp.ok()) {
      cells.reset();
      return;
    }
    cells->cells->files.emplace_back(name, *stamp);
  }
}

// The GRID of the input under a temporary name beside target, finished but not committed.
// ahead: target may still exist (it is checked when the grid is committed).
Result<ConvertedGrid> WriteGridOf(const std::string& input_path, const std::string& target,
                                  bool ahead, const ConversionCells& conversion) {
  // Cells handed on for another grid than the header says are not taken.
  const HandedCells* handed = conversion.input.get();
  Result<std::unique_ptr<AsciiGridReader>> reader = OpenInput(input_path, handed);
  if (reader.ok() && handed != nullptr &&
      (handed->ncols != (*reader)->header().ncols || handed->nrows != (*reader)->header().nrows ||
       handed->cells.size() != size_t{1} * handed->ncols * handed->nrows)) {
    handed = nullptr;
    reader = AsciiGridReader::Open(input_path);
  }
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
  std::optional<PendingCells> kept = CellsRoom(conversion.output, header);
  const size_t ncols = static_cast<size_t>(header.ncols);
  std::vector<float> row(handed != nullptr ? 0 : ncols);
  for (int r = 0; r < header.nrows; ++r) {
    std::span<const float> cells;
    if (handed != nullptr) {
      cells = std::span<const float>(handed->cells).subspan(static_cast<size_t>(r) * ncols, ncols);
    } else {
      if (Status s = (*reader)->ReadRow(row, kGridFloatNoData); !s.ok()) return s.error();
      cells = row;
    }
    if (Status s = (*writer)->WriteRow(cells); !s.ok()) return s.error();
    if (kept) kept->cells->cells.insert(kept->cells->cells.end(), cells.begin(), cells.end());
  }
  if (handed == nullptr) {
    if (Status s = (*reader)->Finish(); !s.ok()) return s.error();
  }
  Result<PendingDir> dir = (*writer)->Finish();
  if (!dir.ok()) return dir.error();
  StampCells(*dir, kept);
  return ConvertedGrid{std::move(dir).value(), std::move(kept)};
}

Error InvalidNameError(const std::string& name) {
  return Error(ErrorKind::kEngine, "Not a valid raster name: `" + name + "'");
}

}  // namespace

Result<ConvertedGrid> RasterConverter::PrepareRasterFile(const std::string& input_path,
                                                         const std::string& folder,
                                                         const std::string& name,
                                                         const ConversionCells& cells) const {
  if (!IsPlainName(name)) return InvalidNameError(name);
  return WriteGridOf(input_path, JoinPath(folder, name), /*ahead=*/true, cells);
}

Status RasterConverter::ConvertRasterFile(const std::string& input_path, const Workspace& workspace,
                                          const std::string& name, const std::string& format,
                                          int /*flags*/, Result<ConvertedGrid>* prepared,
                                          const ConversionCells& cells) const {
  if (Status s = CheckGridFormat(format); !s.ok()) return s;
  if (!IsPlainName(name)) return InvalidNameError(name);
  std::string target = JoinPath(workspace.path(), name);
  std::error_code ec;
  if (std::filesystem::symlink_status(target, ec).type() != std::filesystem::file_type::not_found) {
    return DatasetExistsError(target);
  }
  Result<ConvertedGrid> grid = prepared != nullptr
                                   ? std::move(*prepared)
                                   : WriteGridOf(input_path, target, /*ahead=*/false, cells);
  if (!grid.ok()) return grid.error();
  if (Status s = grid->dir.Commit(); !s.ok()) return s;
  if (grid->cells && cells.output != nullptr) {
    if (cells.committed != nullptr) *cells.committed = grid->cells->cells;
    cells.output->Keep(target, std::move(grid->cells->cells), std::move(grid->cells->room));
  }
  return Status::Ok();
}

}  // namespace terravox::engine
