// RunPieces: the pieces of an XYZ file through a parsing step, on several threads at once, and a
// joining step that takes them one at a time in file order. One thread does both in turn.
#pragma once

#include <tbb/concurrent_queue.h>
#include <tbb/parallel_pipeline.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/run_control.h"
#include "core/status.h"
#include "gridder/xyz_reader.h"

namespace terravox {

// Bytes read and parsed at a time on one thread: the text stays in the processor's cache while
// it is parsed, and so do the number caches.
inline constexpr size_t kSerialPieceBytes = size_t{256} << 10;

// Cuts reader's file into pieces of whole lines of about piece_bytes, each in a Piece (whose
// member bytes receives the text), calls parse(piece) for each on any of up to threads threads
// and join(piece) in file order, one at a time, until join returns false or the file ends. Two
// pieces per thread are under way at most, so memory stays bounded. A Piece serves piece after
// piece (on one thread, the same one throughout): whatever join leaves in it stays, and its
// buffers are not allocated, and their pages faulted in, again for every piece.
// Throws StepError(CancelledError()) when the run is asked to stop, and reports the reading's
// progress as the calling thread would (on several threads, from the joining step).
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
  const size_t in_flight = static_cast<size_t>(threads) * 2;
  // Every Piece there will be, made at the start: the read step takes a free one, the join step
  // gives it back. Only the read step pops and only the join step pushes, each one at a time.
  std::vector<std::unique_ptr<Piece>> pieces;
  tbb::concurrent_queue<Piece*> free_pieces;
  for (size_t i = 0; i < in_flight; ++i) {
    pieces.push_back(std::make_unique<Piece>());
    free_pieces.push(pieces.back().get());
  }
  std::atomic<bool> stop{false};
  // The pieces are cut on any thread of the pool: the run's stop request is looked at directly.
  const StopWatcher run;
  // The join step runs on any thread of the pool, one piece at a time: it reports the progress
  // in the calling thread's name.
  const RunThreadState caller = CurrentRunThreadState();
  uint64_t joined_bytes = 0;  // the join step's own count: the read step's runs ahead of it
  bool cancelled = false;
  auto read = [&](tbb::flow_control& control) -> Piece* {
    Piece* piece = nullptr;
    cancelled = cancelled || run.stop_requested();
    // At most in_flight pieces are under way, so one is always free here.
    if (cancelled || stop.load(std::memory_order_relaxed) || !free_pieces.try_pop(piece) ||
        !reader.NextChunk(piece_bytes, &piece->bytes)) {
      if (piece != nullptr) free_pieces.push(piece);
      control.stop();
      return nullptr;
    }
    return piece;
  };
  auto parse_step = [&](Piece* piece) -> Piece* {
    parse(*piece);
    return piece;
  };
  auto join_step = [&](Piece* piece) {
    joined_bytes += piece->bytes.size();
    if (reader.file_size() > 0) {
      const LentRunScope lent(caller);
      // The stop request is the read step's to see.
      (void)CheckRun(static_cast<double>(joined_bytes) / static_cast<double>(reader.file_size()));
    }
    if (!stop.load(std::memory_order_relaxed) && !join(*piece)) {
      stop.store(true, std::memory_order_relaxed);
    }
    free_pieces.push(piece);
  };
  tbb::parallel_pipeline(
      in_flight, tbb::make_filter<void, Piece*>(tbb::filter_mode::serial_in_order, read) &
                     tbb::make_filter<Piece*, Piece*>(tbb::filter_mode::parallel, parse_step) &
                     tbb::make_filter<Piece*, void>(tbb::filter_mode::serial_in_order, join_step));
  if (cancelled) throw StepError(CancelledError());
}

}  // namespace terravox
