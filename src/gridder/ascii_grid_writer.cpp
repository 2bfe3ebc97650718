// Formatting the grid rows into a large buffer that is written out in big pieces.
#include "gridder/ascii_grid_writer.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_pipeline.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "core/number_format.h"
#include "core/number_parse.h"
#include "core/pending_file.h"
#include "core/run_control.h"

namespace terravox {
namespace {

// Bytes gathered before each write: few system calls, bounded memory.
constexpr size_t kFlushBytes = size_t{4} << 20;
// Cells per block of rows formatted at once on one thread: about 2 MB of text.
constexpr size_t kBlockCells = size_t{256} << 10;

void AppendHeaderLine(std::string& out, const char* keyword, const std::string& value) {
  std::string padded(keyword);
  padded.resize(14, ' ');
  out += padded;
  out += value;
  out += "\r\n";
}

void AppendCell(std::string& out, double value) {
  // Empty cells are the bulk of sparse grids; their text is fixed.
  if (value == kNoDataValue) {
    out += "-9999";
  } else {
    AppendDouble(out, value);
  }
}

// Appends the text of rows [first, end) to out, each line ending in CR LF. row_values is room for
// one row.
void AppendRows(const GridShape& shape, const PlacedPoints& placed, size_t first, size_t end,
                std::vector<double>& row_values, std::string& out) {
  row_values.resize(static_cast<size_t>(shape.ncols));
  size_t rows_with_points = placed.row_start.empty() ? 0 : placed.row_start.size() - 1;
  for (size_t row = first; row < end; ++row) {
    std::fill(row_values.begin(), row_values.end(), kNoDataValue);
    if (row < rows_with_points) {
      // Cells come in file order: the last point of a cell wins.
      for (size_t i = placed.row_start[row]; i < placed.row_start[row + 1]; ++i) {
        row_values[static_cast<size_t>(placed.cells[i].col)] = placed.cells[i].z;
      }
    }
    for (size_t col = 0; col < row_values.size(); ++col) {
      if (col > 0) out += ' ';
      AppendCell(out, row_values[col]);
    }
    out += "\r\n";
  }
}

// The rows one after another on this thread, after the header in out.
Status WriteRowsInTurn(PendingFile& file, const GridShape& shape, const PlacedPoints& placed,
                       std::string& out) {
  out.reserve(kFlushBytes + size_t{64} * 1024);
  std::vector<double> row_values;
  for (size_t row = 0; row < static_cast<size_t>(shape.nrows); ++row) {
    // A stop leaves the temporary file to the PendingFile, which removes it.
    if (Status s = CheckRun(static_cast<double>(row) / static_cast<double>(shape.nrows)); !s.ok()) {
      return s;
    }
    AppendRows(shape, placed, row, row + 1, row_values, out);
    if (out.size() >= kFlushBytes) {
      if (Status s = file.Write(out); !s.ok()) return s;
      out.clear();
    }
  }
  return file.Write(out);
}

// Blocks of rows formatted on several threads and written in order, after the header in out.
Status WriteRowBlocks(PendingFile& file, const GridShape& shape, const PlacedPoints& placed,
                      int threads, std::string& header) {
  if (Status s = file.Write(header); !s.ok()) return s;
  const size_t nrows = static_cast<size_t>(shape.nrows);
  const size_t rows_per_block =
      std::max<size_t>(1, kBlockCells / std::max<size_t>(1, static_cast<size_t>(shape.ncols)));
  struct Block {
    size_t first = 0;
    size_t end = 0;
    std::string text;
  };
  using BlockPtr = std::shared_ptr<Block>;
  tbb::enumerable_thread_specific<std::vector<double>> row_values;
  size_t next_row = 0;
  Status status;
  std::atomic<bool> stop{false};
  // Blocks are cut on any thread of the pool: the run's stop request is looked at directly.
  const StopWatcher run;
  bool cancelled = false;  // cut's own: the filters run on different threads

  auto cut = [&](tbb::flow_control& control) -> BlockPtr {
    cancelled = cancelled || run.stop_requested();
    if (next_row >= nrows || cancelled || stop.load(std::memory_order_relaxed)) {
      control.stop();
      return nullptr;
    }
    auto block = std::make_shared<Block>();
    block->first = next_row;
    block->end = std::min(nrows, next_row + rows_per_block);
    next_row = block->end;
    return block;
  };
  auto format = [&](BlockPtr block) -> BlockPtr {
    AppendRows(shape, placed, block->first, block->end, row_values.local(), block->text);
    return block;
  };
  auto write = [&](const BlockPtr& block) {
    if (!status.ok()) return;
    status = file.Write(block->text);
    if (!status.ok()) stop.store(true, std::memory_order_relaxed);
  };
  tbb::parallel_pipeline(
      static_cast<size_t>(threads) * 2,
      tbb::make_filter<void, BlockPtr>(tbb::filter_mode::serial_in_order, cut) &
          tbb::make_filter<BlockPtr, BlockPtr>(tbb::filter_mode::parallel, format) &
          tbb::make_filter<BlockPtr, void>(tbb::filter_mode::serial_in_order, write));
  if (cancelled && status.ok()) return CancelledError();
  return status;
}

}  // namespace

Status WriteAsciiGrid(const std::string& path, const GridShape& shape, const PlacedPoints& placed,
                      int threads) {
  // Write beside the target and rename: a failure never leaves a truncated grid.
  PendingFile file;
  if (Status s = file.Create(path); !s.ok()) return s;
  if (Status s = WriteAsciiGrid(file, shape, placed, threads); !s.ok()) return s;
  return file.Commit();
}

Status WriteAsciiGrid(PendingFile& file, const GridShape& shape, const PlacedPoints& placed,
                      int threads) {
  std::string out;
  AppendHeaderLine(out, "ncols", FormatDouble(shape.ncols));
  AppendHeaderLine(out, "nrows", FormatDouble(shape.nrows));
  AppendHeaderLine(out, "xllcorner", FormatDouble(shape.xllcorner));
  AppendHeaderLine(out, "yllcorner", FormatDouble(shape.yllcorner));
  AppendHeaderLine(out, "cellsize", FormatSingle(shape.cell_size));
  out += "NODATA_value  -9999\r\n";

  return threads <= 1 ? WriteRowsInTurn(file, shape, placed, out)
                      : WriteRowBlocks(file, shape, placed, threads, out);
}

}  // namespace terravox
