// RunPieces: the pieces of an XYZ file through a parsing step, on several threads at once, and a
// joining step that takes them one at a time in file order. One thread does both in turn.
#pragma once

#include <tbb/parallel_pipeline.h>

#include <atomic>
#include <cstddef>
#include <memory>

#include "core/run_control.h"
#include "core/status.h"
#include "gridder/xyz_reader.h"

namespace terravox {

// Cuts reader's file into pieces of whole lines of about piece_bytes, each in a Piece (whose
// member bytes receives the text), calls parse(piece) for each on any of up to threads threads
// and join(piece) in file order, one at a time, until join returns false or the file ends. Two
// pieces per thread are under way at most, so memory stays bounded. Several threads take a new
// Piece for each piece; one thread takes the same Piece again and again.
// Throws StepError(CancelledError()) when the run is asked to stop; on one thread it also
// reports the reading's progress.
template <typename Piece, typename Parse, typename Join>
void RunPieces(XyzLineReader& reader, size_t piece_bytes, int threads, Parse&& parse, Join&& join) {
  auto progress = [&reader] {
    return reader.file_size() == 0
               ? 1.0
               : static_cast<double>(reader.bytes_read()) / static_cast<double>(reader.file_size());
  };
  if (threads <= 1) {
    Piece piece;
    while (reader.NextChunk(piece_bytes, &piece.bytes)) {
      ThrowIfError(CheckRun(progress()));
      parse(piece);
      if (!join(piece)) return;
    }
    return;
  }
  using PiecePtr = std::shared_ptr<Piece>;
  std::atomic<bool> stop{false};
  // The pieces are cut on any thread of the pool: the run's stop request is looked at directly.
  const StopWatcher run;
  bool cancelled = false;
  auto read = [&](tbb::flow_control& control) -> PiecePtr {
    auto piece = std::make_shared<Piece>();
    cancelled = cancelled || run.stop_requested();
    if (cancelled || stop.load(std::memory_order_relaxed) ||
        !reader.NextChunk(piece_bytes, &piece->bytes)) {
      control.stop();
      return nullptr;
    }
    return piece;
  };
  auto parse_step = [&](PiecePtr piece) -> PiecePtr {
    parse(*piece);
    return piece;
  };
  auto join_step = [&](const PiecePtr& piece) {
    if (!stop.load(std::memory_order_relaxed) && !join(*piece)) {
      stop.store(true, std::memory_order_relaxed);
    }
  };
  tbb::parallel_pipeline(
      static_cast<size_t>(threads) * 2,
      tbb::make_filter<void, PiecePtr>(tbb::filter_mode::serial_in_order, read) &
          tbb::make_filter<PiecePtr, PiecePtr>(tbb::filter_mode::parallel, parse_step) &
          tbb::make_filter<PiecePtr, void>(tbb::filter_mode::serial_in_order, join_step));
  if (cancelled) throw StepError(CancelledError());
}

}  // namespace terravox
