// XyzLineReader: the lines of a text file, read in large blocks. CR LF, a lone CR and a lone LF
// each end a line; a last line without a terminator is a line too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"
#include "core/unique_fd.h"

namespace terravox {

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
  // The position of the first CR or LF at or after from in the buffer, or end_ when none.
  size_t FindLineEnd(size_t from);

  size_t block_size_;
  UniqueFd fd_;
  std::vector<char> buffer_;
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

}  // namespace terravox
