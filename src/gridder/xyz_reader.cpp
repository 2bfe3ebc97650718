// Block reading and line splitting for XYZ point files.
#include "gridder/xyz_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace terravox {

XyzLineReader::XyzLineReader(size_t block_size) : block_size_(std::max<size_t>(block_size, 1)) {}

Status XyzLineReader::Open(const std::string& path) {
  Close();
  // O_NONBLOCK: a FIFO at the path must not hang the open; it is refused just below.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return status_ = Error::FromErrno(errno);
  fd_ = UniqueFd(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) return status_ = Error::FromErrno(errno);
  if (S_ISDIR(info.st_mode)) return status_ = Error::FromErrno(EISDIR);
  if (!S_ISREG(info.st_mode)) return status_ = Error(ErrorKind::kOther, "Not a regular file");
  file_size_ = static_cast<size_t>(info.st_size);
  buffer_.resize(block_size_);
  begin_ = end_ = 0;
  bytes_read_ = 0;
  at_eof_ = false;
  skip_lf_ = false;
  next_lf_known_ = false;
  return status_ = Status::Ok();
}

void XyzLineReader::Close() {
  (void)fd_.Close();  // a read-only file has nothing to lose on close
  buffer_.clear();
  buffer_.shrink_to_fit();
  begin_ = end_ = 0;
  at_eof_ = true;
}

size_t XyzLineReader::FindLineEnd(size_t from) {
  const char* data = buffer_.data();
  // Two memchr calls instead of a byte loop. The next LF is remembered, so a file whose lines
  // end in a lone CR searches its buffer for an LF once, not once per line.
  if (!next_lf_known_ || next_lf_ < from) {
    const void* lf = std::memchr(data + from, '\n', end_ - from);
    next_lf_ = lf ? static_cast<size_t>(static_cast<const char*>(lf) - data) : end_;
    next_lf_known_ = true;
  }
  const void* cr = std::memchr(data + from, '\r', next_lf_ - from);
  return cr ? static_cast<size_t>(static_cast<const char*>(cr) - data) : next_lf_;
}

bool XyzLineReader::Refill() {
  if (at_eof_ || !fd_.valid()) return false;
  next_lf_known_ = false;  // positions move and new bytes come in
  size_t unread = end_ - begin_;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, unread);
    begin_ = 0;
    end_ = unread;
  }
  // A line longer than the buffer: grow it so the whole line fits in one piece.
  if (buffer_.size() - end_ < block_size_) buffer_.resize(end_ + block_size_);
  for (;;) {
    ssize_t got = ::read(fd_.get(), buffer_.data() + end_, buffer_.size() - end_);
    if (got < 0) {
      if (errno == EINTR) continue;
      status_ = Error::FromErrno(errno);
      at_eof_ = true;
      return false;
    }
    if (got == 0) {
      at_eof_ = true;
      return false;
    }
    end_ += static_cast<size_t>(got);
    bytes_read_ += static_cast<size_t>(got);
    return true;
  }
}

void XyzLineReader::ReadUpTo(size_t bytes, ByteBuffer* chunk) {
  size_t filled = chunk->size();
  if (filled >= bytes) return;
  chunk->resize(bytes);
  while (filled < bytes && !at_eof_) {
    ssize_t got = ::read(fd_.get(), chunk->data() + filled, bytes - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      status_ = Error::FromErrno(errno);
      at_eof_ = true;
    } else if (got == 0) {
      at_eof_ = true;
    } else {
      filled += static_cast<size_t>(got);
    }
  }
  chunk->resize(filled);
}

namespace {

// The position just after the last CR or LF of data[0, size), or 0 when there is none.
size_t AfterLastTerminator(const char* data, size_t size) {
  for (size_t i = size; i > 0; --i) {
    if (data[i - 1] == '\n' || data[i - 1] == '\r') return i;
  }
  return 0;
}

}  // namespace

bool XyzLineReader::NextChunk(size_t bytes, ByteBuffer* chunk) {
  chunk->clear();
  if (!status_.ok()) return false;
  bytes = std::max<size_t>(bytes, 1);
  // What the last piece left behind (a partial line) comes first.
  chunk->assign(buffer_.begin() + static_cast<ptrdiff_t>(begin_),
                buffer_.begin() + static_cast<ptrdiff_t>(end_));
  begin_ = end_ = 0;
  for (size_t want = bytes;; want = chunk->size() + bytes) {
    ReadUpTo(want, chunk);
    if (!status_.ok()) {
      // As line by line: the lines ended before the error come, a CR at the end ending one.
      chunk->resize(AfterLastTerminator(chunk->data(), chunk->size()));
      return !chunk->empty();
    }
    if (at_eof_) return !chunk->empty();  // the last line needs no terminator
    // A CR at the very end may still meet its LF in the next read: it stays for the next piece.
    size_t size = chunk->size();
    size_t search = chunk->back() == '\r' ? size - 1 : size;
    size_t cut = AfterLastTerminator(chunk->data(), search);
    if (cut == 0) continue;  // no whole line yet: read on
    buffer_.assign(chunk->begin() + static_cast<ptrdiff_t>(cut), chunk->end());
    end_ = buffer_.size();
    chunk->resize(cut);
    return true;
  }
}

bool XyzLineReader::Next(std::string_view* line) {
  if (!status_.ok()) return false;
  size_t scan_from = begin_;
  for (;;) {
    if (skip_lf_ && begin_ < end_) {
      // The CR that ended the previous line and this LF make one terminator.
      if (buffer_[begin_] == '\n') ++begin_;
      skip_lf_ = false;
      scan_from = begin_;
    }
    const char* data = buffer_.data();
    size_t i = FindLineEnd(scan_from);
    if (i < end_) {
      *line = std::string_view(data + begin_, i - begin_);
      if (data[i] == '\r') {
        if (i + 1 < end_) {
          begin_ = (data[i + 1] == '\n') ? i + 2 : i + 1;
        } else {
          begin_ = i + 1;
          skip_lf_ = true;  // the LF, if any, comes with the next block
        }
      } else {
        begin_ = i + 1;
      }
      return true;
    }
    // No terminator in what is buffered: read on behind the partial line.
    size_t scanned = end_ - begin_;
    if (!Refill()) {
      if (!status_.ok()) return false;
      if (begin_ == end_) return false;
      *line = std::string_view(buffer_.data() + begin_, end_ - begin_);
      begin_ = end_;  // a last line without terminator
      return true;
    }
    scan_from = begin_ + scanned;
  }
}

}  // namespace terravox
