// GridWriter: streams rows into block records one block row at a time, then writes the small
// files and renames the finished grid into place.
#include "engine/grid_writer.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/output_file.h"
#include "core/paths.h"
#include "core/run_control.h"
#include "engine/grid_format.h"
#include "engine/grid_prj.h"
#include "engine/grid_stats.h"
#include "engine/pending_dir.h"

namespace terravox::engine {
namespace {

bool PositiveFinite(double v) { return std::isfinite(v) && v > 0; }

// GDAL's reader takes a GRID's size from its bounds, count = floor((high - low + cell / 2) / cell),
// with high computed here as the bounds file stores it. Far from the origin the bounds lose the
// cell size in double precision, and the GRID would read back with another size (or none).
bool CountSurvivesBounds(double low, int count, double cell) {
  const double high = low + count * cell;
  return std::floor((high - low + 0.5 * cell) / cell) == static_cast<double>(count);
}

Status CheckGeometry(const GridGeometry& g) {
  if (g.ncols < 1 || g.nrows < 1) {
    return Error(ErrorKind::kEngine, "A GRID needs at least one row and one column, not " +
                                         std::to_string(g.ncols) + " x " + std::to_string(g.nrows));
  }
  if (!PositiveFinite(g.cell_width) || !PositiveFinite(g.cell_height)) {
    return Error(ErrorKind::kEngine, "The cell size of a GRID must be positive and finite");
  }
  if (!std::isfinite(g.west) || !std::isfinite(g.south) ||
      !std::isfinite(g.west + g.ncols * g.cell_width) ||
      !std::isfinite(g.south + g.nrows * g.cell_height)) {
    return Error(ErrorKind::kEngine, "The corners of a GRID must be finite");
  }
  if (!CountSurvivesBounds(g.west, g.ncols, g.cell_width) ||
      !CountSurvivesBounds(g.south, g.nrows, g.cell_height)) {
    return Error(ErrorKind::kEngine,
                 "The corners of the raster are too far from the origin for its cell size: a GRID "
                 "of " +
                     std::to_string(g.ncols) + " x " + std::to_string(g.nrows) +
                     " cells would read back with another size");
  }
  if (LayoutFor(g).DataFileBytes() > kMaxDataFileBytes) {
    return Error(ErrorKind::kEngine, "The raster is too large for a GRID tile (4 GiB at most)");
  }
  return Status::Ok();
}

}  // namespace

struct GridWriter::Impl {
  Impl(const GridGeometry& g, PendingDir d, OutputFile data_file, OutputFile index_file)
      : geometry(g),
        layout(LayoutFor(g)),
        dir(std::move(d)),
        data(std::move(data_file)),
        index(std::move(index_file)) {}

  Status AddRow(std::span<const float> row);
  Status FlushBlockRow();
  Status Finish();

  uint8_t* CellsOf(int block_col, int row_in_block) {
    return block_row.data() + int64_t{block_col} * kFloatRecordBytes + 2 +
           int64_t{row_in_block} * kBlockWidth * 4;
  }

  GridGeometry geometry;
  GridLayout layout;
  PendingDir dir;
  OutputFile data;
  OutputFile index;
  std::string esri_wkt;
  // The records of the block row being assembled, exactly as they go to w001001.adf.
  std::vector<uint8_t> block_row;
  std::vector<uint8_t> index_entries;  // the block row's index entries
  GridStatsAccumulator stats;
  int rows_written = 0;
  bool committed = false;
  std::optional<Error> failure;  // the first failure; every later call repeats it
};

Result<std::unique_ptr<GridWriter>> GridWriter::Create(const std::string& grid_path,
                                                       const GridGeometry& geometry) {
  if (Status s = CheckGeometry(geometry); !s.ok()) return s.error();
  return Start(PendingDir::Create(grid_path), geometry);
}

Result<std::unique_ptr<GridWriter>> GridWriter::CreateAhead(const std::string& grid_path,
                                                            const GridGeometry& geometry) {
  if (Status s = CheckGeometry(geometry); !s.ok()) return s.error();
  return Start(PendingDir::CreateAhead(grid_path), geometry);
}

Result<std::unique_ptr<GridWriter>> GridWriter::Start(Result<PendingDir> dir,
                                                      const GridGeometry& geometry) {
  std::string esri_wkt;
  // Before any byte is written: a coordinate system we cannot store fails the grid at once.
  if (!geometry.srs_wkt.empty()) {
    Result<std::string> converted = EsriWktFrom(geometry.srs_wkt);
    if (!converted) return converted.error();
    esri_wkt = std::move(*converted);
  }
  if (!dir) return dir.error();
  Result<OutputFile> data = OutputFile::Create(JoinPath(dir->temp_path(), "w001001.adf"));
  if (!data) return data.error();
  Result<OutputFile> index = OutputFile::Create(JoinPath(dir->temp_path(), "w001001x.adf"));
  if (!index) return index.error();

  auto impl =
      std::make_unique<Impl>(geometry, std::move(*dir), std::move(*data), std::move(*index));
  impl->esri_wkt = std::move(esri_wkt);
  const GridLayout& layout = impl->layout;
  // The data length is known only when all records are written; the index length now.
  if (Status s = impl->data.Append(EncodeFileHeader(0)); !s.ok()) return s.error();
  int64_t index_bytes = kFileHeaderBytes + layout.IndexEntries() * kIndexEntryBytes;
  if (Status s = impl->index.Append(EncodeFileHeader(static_cast<uint32_t>(index_bytes / 2)));
      !s.ok()) {
    return s.error();
  }

  // Every cell starts as no-data: the cells right of the last column are never overwritten.
  impl->block_row.assign(static_cast<size_t>(layout.BlockRowBytes()), 0);
  for (int c = 0; c < layout.used_block_cols; ++c) {
    uint8_t* record = impl->block_row.data() + int64_t{c} * kFloatRecordBytes;
    StoreBigEndian16(record, kFloatPayloadWords);
    for (int i = 0; i < kBlockCells; ++i) {
      std::copy(kNoDataBytes.begin(), kNoDataBytes.end(),
                record + 2 + size_t{4} * static_cast<size_t>(i));
    }
  }
  impl->index_entries.resize(static_cast<size_t>(layout.blocks_per_row) * kIndexEntryBytes);
  return std::unique_ptr<GridWriter>(new GridWriter(std::move(impl)));
}

GridWriter::GridWriter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

// The PendingDir member removes the temporary folder unless the grid was committed.
GridWriter::~GridWriter() = default;

size_t GridWriter::buffer_capacity() const {
  return impl_->block_row.capacity() + impl_->index_entries.capacity();
}

Status GridWriter::WriteRow(std::span<const float> row) {
  if (impl_->failure) return *impl_->failure;
  // A stopped run keeps no half-made grid: the pending folder goes with the writer.
  Status s = CheckRun(static_cast<double>(impl_->rows_written) / impl_->geometry.nrows);
  if (s.ok()) s = impl_->AddRow(row);
  if (!s.ok()) impl_->failure = s.error();
  return s;
}

Status GridWriter::Commit() {
  Result<PendingDir> finished = Finish();
  if (!finished.ok()) return finished.error();
  Status s = finished->Commit();
  if (!s.ok()) impl_->failure = s.error();
  return s;
}

Result<PendingDir> GridWriter::Finish() {
  if (impl_->failure) return *impl_->failure;
  Status s = impl_->Finish();
  if (!s.ok()) {
    impl_->failure = s.error();
    return s.error();
  }
  impl_->failure = Error(ErrorKind::kEngine, "The GRID was already committed");
  return std::move(impl_->dir);
}

Status GridWriter::Impl::AddRow(std::span<const float> row) {
  if (committed || rows_written >= geometry.nrows) {
    return Error(ErrorKind::kEngine,
                 "More rows than the GRID's " + std::to_string(geometry.nrows) + " were written");
  }
  if (row.size() != static_cast<size_t>(geometry.ncols)) {
    return Error(ErrorKind::kEngine, "A GRID row needs " + std::to_string(geometry.ncols) +
                                         " cells, not " + std::to_string(row.size()));
  }
  int row_in_block = rows_written % kBlockHeight;
  for (int c = 0; c < layout.used_block_cols; ++c) {
    int first = c * kBlockWidth;
    int n = std::min(kBlockWidth, geometry.ncols - first);
    StoreCellsBigEndian(CellsOf(c, row_in_block), row.data() + first, n);
  }
  stats.Add(row);
  ++rows_written;
  return row_in_block == kBlockHeight - 1 ? FlushBlockRow() : Status::Ok();
}

Status GridWriter::Impl::FlushBlockRow() {
  int rows_held = rows_written % kBlockHeight;
  if (rows_held != 0) {
    // The last block row is short: rows below the raster hold the previous block row's cells.
    for (int c = 0; c < layout.used_block_cols; ++c) {
      for (int i = rows_held * kBlockWidth; i < kBlockCells; ++i) {
        std::copy(kNoDataBytes.begin(), kNoDataBytes.end(),
                  CellsOf(c, 0) + size_t{4} * static_cast<size_t>(i));
      }
    }
  }
  // Offsets and sizes count 16-bit words; each offset points at its record's length word.
  int64_t offset_words = data.size() / 2;
  for (int c = 0; c < layout.blocks_per_row; ++c) {
    bool real = c < layout.used_block_cols;
    uint8_t* entry = index_entries.data() + int64_t{c} * kIndexEntryBytes;
    StoreBigEndian32(entry, static_cast<uint32_t>(offset_words));
    StoreBigEndian32(entry + 4, real ? kFloatPayloadWords : 0);
    offset_words += (real ? kFloatRecordBytes : kEmptyRecordBytes) / 2;
  }
  if (Status s = data.Append(block_row); !s.ok()) return s;
  return index.Append(index_entries);
}

Status GridWriter::Impl::Finish() {
  if (committed) return Error(ErrorKind::kEngine, "The GRID was already committed");
  if (rows_written != geometry.nrows) {
    return Error(ErrorKind::kEngine, "Only " + std::to_string(rows_written) + " of the GRID's " +
                                         std::to_string(geometry.nrows) + " rows were written");
  }
  if (rows_written % kBlockHeight != 0) {
    if (Status s = FlushBlockRow(); !s.ok()) return s;
  }
  uint8_t length[4];
  StoreBigEndian32(length, static_cast<uint32_t>(data.size() / 2));
  if (Status s = data.Patch(24, length); !s.ok()) return s;
  if (Status s = data.Close(); !s.ok()) return s;
  if (Status s = index.Close(); !s.ok()) return s;

  const std::string& folder = dir.temp_path();
  if (Status s = WriteNewFile(JoinPath(folder, "hdr.adf"), EncodeHeaderFile(geometry, layout));
      !s.ok()) {
    return s;
  }
  if (Status s = WriteNewFile(JoinPath(folder, "dblbnd.adf"), EncodeBoundsFile(geometry));
      !s.ok()) {
    return s;
  }
  if (Status s = WriteNewFile(JoinPath(folder, "sta.adf"), EncodeStatisticsFile(stats.Result()));
      !s.ok()) {
    return s;
  }
  if (!esri_wkt.empty()) {
    std::span<const uint8_t> text(reinterpret_cast<const uint8_t*>(esri_wkt.data()),
                                  esri_wkt.size());
    if (Status s = WriteNewFile(JoinPath(folder, "prj.adf"), text); !s.ok()) return s;
  }
  committed = true;
  return Status::Ok();
}

namespace {

Status CheckCellCount(const GridGeometry& geometry, std::span<const float> cells) {
  if (geometry.ncols >= 1 && geometry.nrows >= 1 &&
      cells.size() != static_cast<size_t>(geometry.ncols) * static_cast<size_t>(geometry.nrows)) {
    return Error(ErrorKind::kEngine, "The raster holds " + std::to_string(cells.size()) +
                                         " cells, not " + std::to_string(geometry.ncols) + " x " +
                                         std::to_string(geometry.nrows));
  }
  return Status::Ok();
}

Status WriteCells(GridWriter& writer, const GridGeometry& geometry, std::span<const float> cells) {
  for (int r = 0; r < geometry.nrows; ++r) {
    size_t first = static_cast<size_t>(r) * static_cast<size_t>(geometry.ncols);
    if (Status s = writer.WriteRow(cells.subspan(first, geometry.ncols)); !s.ok()) return s;
  }
  return Status::Ok();
}

}  // namespace

Status WriteGrid(const std::string& grid_path, const GridGeometry& geometry,
                 std::span<const float> cells) {
  if (Status s = CheckCellCount(geometry, cells); !s.ok()) return s;
  Result<std::unique_ptr<GridWriter>> writer = GridWriter::Create(grid_path, geometry);
  if (!writer) return writer.error();
  if (Status s = WriteCells(**writer, geometry, cells); !s.ok()) return s;
  return (*writer)->Commit();
}

Result<PendingDir> WriteGridAhead(const std::string& grid_path, const GridGeometry& geometry,
                                  std::span<const float> cells) {
  if (Status s = CheckCellCount(geometry, cells); !s.ok()) return s.error();
  Result<std::unique_ptr<GridWriter>> writer = GridWriter::CreateAhead(grid_path, geometry);
  if (!writer) return writer.error();
  if (Status s = WriteCells(**writer, geometry, cells); !s.ok()) return s.error();
  return (*writer)->Finish();
}

}  // namespace terravox::engine
