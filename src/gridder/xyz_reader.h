// XyzLineReader: an XYZ file in pieces of whole lines, read in large blocks. CR LF, a lone CR and
// a lone LF each end a line; a last line without a terminator is a line too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/status.h"
#include "core/unique_fd.h"
#include "gridder/uninitialized.h"

namespace terravox {

// No XYZ line comes near this length: a longer one is refused as soon as it is seen, so a file
// without line ends (a sparse or binary file) is neither held in memory nor read to its end.
inline constexpr size_t kMaxXyzLineBytes = size_t{1} << 20;

class XyzLineReader {
 public:
  // Opens a regular file for reading. "File not found" and the like when it cannot.
  Status Open(const std::string& path);
  // Starts again from the first byte of the open file.
  Status Rewind();
  const Status& status() const { return status_; }

  // Replaces the contents of chunk with the next whole lines of the file, about bytes long: the
  // piece starts where the last one ended and ends just after a line terminator (never between
  // the CR and LF of one), or at the end of the file. A line longer than bytes comes whole.
  // False when nothing is left or on an error; after an error the lines read in full before it
  // still come, and the next call returns false with status() telling the error. A line longer
  // than kMaxXyzLineBytes is such an error, met before more than a megabyte past its limit is
  // read. Each byte is looked at a bounded number of times, whatever the line lengths.
  bool NextChunk(size_t bytes, ByteBuffer* chunk);

  // The size of the open file in bytes, for reserving room ahead.
  size_t file_size() const { return file_size_; }
  // Bytes read from the file so far, for telling how far the reading is.
  size_t bytes_read() const { return bytes_read_; }

  // Closes the file; closing a closed reader is no error.
  void Close();

 private:
  // Reads behind the end of chunk until it holds at least bytes, the end of the file or an
  // error.
  void ReadUpTo(size_t bytes, ByteBuffer* chunk);
  // Ends the reading with a line too long that starts line_start bytes into the next piece.
  void RefuseLongLine(size_t line_start);

  UniqueFd fd_;
  ByteBuffer leftover_;  // the partial line that the last piece left behind
  bool at_eof_ = true;
  size_t file_size_ = 0;
  size_t bytes_read_ = 0;
  uint64_t handed_out_ = 0;  // bytes of the file given out in pieces so far
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
