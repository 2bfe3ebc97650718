// Formatting the grid rows into a large buffer that is written out in big pieces.
#include "gridder/ascii_grid_writer.h"

#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_pipeline.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string_view>
#include <vector>

#include "core/number_format.h"
#include "core/pending_file.h"
#include "core/run_control.h"
#include "gridder/cell_text.h"

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

std::string_view View(const ByteBuffer& bytes) { return {bytes.data(), bytes.size()}; }

// Appends the text of rows [first, end) to out. row_values is room for one row.
void AppendRows(const GridShape& shape, const PlacedPoints& placed, size_t first, size_t end,
                std::vector<double>& row_values, ByteBuffer& out) {
  row_values.resize(static_cast<size_t>(shape.ncols));
  for (size_t row = first; row < end; ++row) {
    AppendGridLine(GridRow(shape, placed, row, row_values.data()), row_values.size(), out);
  }
}

// The rows one after another on this thread.
Status WriteRowsInTurn(PendingFile& file, const GridShape& shape, const PlacedPoints& placed) {
  ByteBuffer out;
  out.reserve(kFlushBytes + size_t{64} * 1024);
  std::vector<double> row_values;
  for (size_t row = 0; row < static_cast<size_t>(shape.nrows); ++row) {
    // A stop leaves the temporary file to the PendingFile, which removes it.
    if (Status s = CheckRun(static_cast<double>(row) / static_cast<double>(shape.nrows)); !s.ok()) {
      return s;
    }
    AppendRows(shape, placed, row, row + 1, row_values, out);
    if (out.size() >= kFlushBytes) {
      if (Status s = file.Write(View(out)); !s.ok()) return s;
      out.clear();
    }
  }
  return file.Write(View(out));
}

// Blocks of rows formatted on several threads and written in order.
Status WriteRowBlocks(PendingFile& file, const GridShape& shape, const PlacedPoints& placed,
                      int threads) {
  const size_t nrows = static_cast<size_t>(shape.nrows);
  const size_t rows_per_block =
      std::max<size_t>(1, kBlockCells / std::max<size_t>(1, static_cast<size_t>(shape.ncols)));
  struct Block {
    size_t first = 0;
    size_t end = 0;
    ByteBuffer text;
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
    status = file.Write(View(block->text));
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

std::string AsciiGridHeader(const GridShape& shape) {
  std::string out;
  AppendHeaderLine(out, "ncols", FormatDouble(shape.ncols));
  AppendHeaderLine(out, "nrows", FormatDouble(shape.nrows));
  AppendHeaderLine(out, "xllcorner", FormatDouble(shape.xllcorner));
  AppendHeaderLine(out, "yllcorner", FormatDouble(shape.yllcorner));
  AppendHeaderLine(out, "cellsize", FormatSingle(shape.cell_size));
  out += "NODATA_value  -9999\r\n";
  return out;
}

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
  if (Status s = file.Write(AsciiGridHeader(shape)); !s.ok()) return s;
  return threads <= 1 ? WriteRowsInTurn(file, shape, placed)
                      : WriteRowBlocks(file, shape, placed, threads);
}

}  // namespace terravox
