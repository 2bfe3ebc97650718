// Block reading and cutting into pieces of whole lines for XYZ point files.
#include "gridder/xyz_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace terravox {
namespace {

// The position just after the last CR or LF of data[from, to), or 0 when there is none there.
size_t AfterLastTerminator(const char* data, size_t from, size_t to) {
  for (size_t i = to; i > from; --i) {
    if (data[i - 1] == '\n' || data[i - 1] == '\r') return i;
  }
  return 0;
}

// The position of the first CR or LF of data[from, to), or to when there is none there.
size_t FirstTerminator(const char* data, size_t from, size_t to) {
  // An empty piece may have no storage at all, and memchr takes no null pointer, even for none.
  if (from >= to) return to;
  const void* lf = std::memchr(data + from, '\n', to - from);
  const size_t lf_at = lf ? static_cast<size_t>(static_cast<const char*>(lf) - data) : to;
  const void* cr = std::memchr(data + from, '\r', lf_at - from);
  return cr ? static_cast<size_t>(static_cast<const char*>(cr) - data) : lf_at;
}

}  // namespace

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
  return Rewind();
}

Status XyzLineReader::Rewind() {
  if (!fd_.valid()) return status_ = Error::FromErrno(EBADF);
  if (::lseek(fd_.get(), 0, SEEK_SET) != 0) return status_ = Error::FromErrno(errno);
  leftover_.clear();
  at_eof_ = false;
  bytes_read_ = 0;
  handed_out_ = 0;
  return status_ = Status::Ok();
}

void XyzLineReader::Close() {
  (void)fd_.Close();  // a read-only file has nothing to lose on close
  leftover_.clear();
  leftover_.shrink_to_fit();
  at_eof_ = true;
}

void XyzLineReader::ReadUpTo(size_t bytes, ByteBuffer* chunk) {
  size_t filled = chunk->size();
  if (filled >= bytes || at_eof_) return;
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
      bytes_read_ += static_cast<size_t>(got);
    }
  }
  chunk->resize(filled);
}

void XyzLineReader::RefuseLongLine(size_t line_start) {
  status_ = Error(ErrorKind::kOther, "A line longer than 1 MB starts at byte " +
                                         std::to_string(handed_out_ + line_start));
  at_eof_ = true;
  leftover_.clear();
}

bool XyzLineReader::NextChunk(size_t bytes, ByteBuffer* chunk) {
  chunk->clear();
  if (!status_.ok()) return false;
  bytes = std::max<size_t>(bytes, 1);
  // What the last piece left behind (a partial line) comes first.
  chunk->assign(leftover_.begin(), leftover_.end());
  leftover_.clear();
  // The file is read in steps of at most the longest line, so a line within one step is never
  // too long: only the line running across the start of a step is measured. line_start is where
  // that line starts; chunk[line_start, searched) holds no line end. Only what each step adds is
  // searched, so a long line costs no more than a short one per byte.
  const size_t step = std::min(bytes, kMaxXyzLineBytes);
  size_t line_start = 0;
  size_t searched = 0;
  size_t cut = 0;  // just after the last line end found: the piece ends there
  for (;;) {
    ReadUpTo(chunk->size() + step, chunk);
    const size_t size = chunk->size();
    if (!status_.ok()) {
      // The lines ended before the error come, a CR at the end ending one.
      const size_t last = AfterLastTerminator(chunk->data(), searched, size);
      cut = last > 0 ? last : cut;
      break;
    }
    // A CR at the very end may still meet its LF in the next read: it stays for the next piece.
    const size_t search_end = !at_eof_ && size > 0 && chunk->back() == '\r' ? size - 1 : size;
    const size_t line_end = FirstTerminator(chunk->data(), searched, search_end);
    const size_t running_end = line_end < search_end || at_eof_ ? line_end : search_end;
    if (running_end - line_start > kMaxXyzLineBytes) {
      // Refused at once; the whole lines before it still come.
      RefuseLongLine(line_start);
      cut = line_start;
      break;
    }
    if (line_end < search_end) {
      cut = AfterLastTerminator(chunk->data(), line_end, search_end);
      line_start = cut;
    }
    searched = search_end;
    if (at_eof_) {
      cut = size;  // the last line needs no terminator
      break;
    }
    if (cut > 0 && size >= bytes) break;
  }
  if (status_.ok() && cut < chunk->size()) {
    leftover_.assign(chunk->begin() + static_cast<ptrdiff_t>(cut), chunk->end());
  }
  chunk->resize(cut);
  handed_out_ += cut;
  return cut > 0;
}

}  // namespace terravox
