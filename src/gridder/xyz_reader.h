// XyzLineReader: the lines of a text file, read in large blocks. CR LF, a lone CR and a lone LF
// each end a line; a last line without a terminator is a line too.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"
#include "core/unique_fd.h"
#include "gridder/uninitialized.h"

namespace terravox {

// Bytes read from a file: growing the buffer does not zero what the read overwrites.
using ByteBuffer = UninitializedVector<char>;

class XyzLineReader {
 public:
  static constexpr size_t kDefaultBlockSize = size_t{4} << 20;

  // block_size: bytes asked of each read (tests use tiny blocks to cross block edges).
  explicit XyzLineReader(size_t block_size = kDefaultBlockSize);

  // Opens a regular file for reading. "File not found" and the like when it cannot.
  Status Open(const std::string& path);

  // The next line without its terminator, valid until the next call. False at the end of the
  // file or on a read error; status() then tells which.
  bool Next(std::string_view* line);
  const Status& status() const { return status_; }

  // Replaces the contents of chunk with the next whole lines of the file, about bytes long: the
  // piece starts where the last one ended and ends just after a line terminator (never between
  // the CR and LF of one), or at the end of the file. A line longer than bytes comes whole.
  // False when nothing is left or on a read error; after a read error the lines read in full
  // before it still come, and the next call returns false with status() telling the error.
  // Not to be mixed with Next() on one open file.
  bool NextChunk(size_t bytes, ByteBuffer* chunk);

  // The size of the open file in bytes, for reserving room ahead.
  size_t file_size() const { return file_size_; }
  // Bytes read from the file so far, for telling how far the reading is.
  size_t bytes_read() const { return bytes_read_; }

  // Closes the file; closing a closed reader is no error.
  void Close();

 private:
  // Moves the unread bytes to the front of the buffer and reads more behind them.
  // False at the end of the file or on error.
  bool Refill();
  // Reads behind the end of chunk until it holds at least bytes, the end of the file or an
  // error.
  void ReadUpTo(size_t bytes, ByteBuffer* chunk);
  // The position of the first CR or LF at or after from in the buffer, or end_ when none.
  size_t FindLineEnd(size_t from);

  size_t block_size_;
  UniqueFd fd_;
  ByteBuffer buffer_;
  size_t begin_ = 0;  // first unread byte
  size_t end_ = 0;    // one past the last byte read
  bool at_eof_ = false;
  bool skip_lf_ = false;  // the last line ended in CR at the end of the buffer
  size_t next_lf_ = 0;    // the first LF at or after the last search, or end_ when none
  bool next_lf_known_ = false;
  size_t file_size_ = 0;
  size_t bytes_read_ = 0;
  Status status_;
};

// Calls on_line(line) for every line of a piece given by XyzLineReader::NextChunk, in order, until
// it returns false. The piece holds whole lines, so its last line needs no terminator.
template <typename OnLine>
void ForEachLine(std::string_view piece, OnLine&& on_line) {
  const char* data = piece.data();
  const size_t size = piece.size();
  size_t begin = 0;
  size_t next_lf = 0;  // the first LF at or after begin, or size when none; found again when passed
  bool next_lf_known = false;
  while (begin < size) {
    // Two memchr calls instead of a byte loop, the LF remembered across lone-CR lines.
    if (!next_lf_known || next_lf < begin) {
      const void* lf = std::memchr(data + begin, '\n', size - begin);
      next_lf = lf ? static_cast<size_t>(static_cast<const char*>(lf) - data) : size;
      next_lf_known = true;
    }
    const void* cr = std::memchr(data + begin, '\r', next_lf - begin);
    size_t end = cr ? static_cast<size_t>(static_cast<const char*>(cr) - data) : next_lf;
    std::string_view line(data + begin, end - begin);
    if (end == size) {
      begin = size;
    } else if (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') {
      begin = end + 2;
    } else {
      begin = end + 1;
    }
    if (!on_line(line)) return;
  }
}

}  // namespace terravox
