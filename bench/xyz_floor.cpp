// xyz_floor: the least work any XYZ gridder must do, as a yardstick for ours. It reads the file in
// large blocks, splits the lines with memchr, parses x, y and z with std::from_chars, formats each
// z with std::to_chars and writes the text out, COLUMNS values to a line: nothing else (no
// validation, no distinct values, no grid, no ordering).
//
//   xyz_floor IN OUT [COLUMNS]    (OUT may be /dev/null; COLUMNS defaults to 2000)
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kBlockBytes = size_t{8} << 20;

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t done = ::write(fd, data, size);
    if (done <= 0) return false;
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

// Parses the three numbers of every whole line in [p, end) and formats each z into out; returns
// where the unparsed rest (a partial last line) begins.
class Floor {
 public:
  explicit Floor(long columns) : columns_(columns) { out_.resize(kBlockBytes + 4096); }

  const char* ParseLines(const char* p, const char* end, bool last) {
    while (p < end) {
      const char* line_end = static_cast<const char*>(std::memchr(p, '\n', end - p));
      if (line_end == nullptr) {
        if (!last) return p;
        line_end = end;
      }
      // x and y are parsed like z; from_chars is opaque to the compiler, so nothing is dropped.
      double x = 0, y = 0, z = 0;
      const char* q = std::from_chars(p, line_end, x).ptr + 1;
      q = std::from_chars(q, line_end, y).ptr + 1;
      std::from_chars(q, line_end, z);
      filled_ =
          std::to_chars(out_.data() + filled_, out_.data() + out_.size(), z).ptr - out_.data();
      if (++column_ == columns_) {
        out_[filled_++] = '\r';
        out_[filled_++] = '\n';
        column_ = 0;
      } else {
        out_[filled_++] = ' ';
      }
      if (filled_ >= kBlockBytes && !Flush()) return nullptr;
      p = line_end + 1;
    }
    return p;
  }
  bool Flush() {
    bool ok = WriteAll(out_fd, out_.data(), filled_);
    filled_ = 0;
    return ok;
  }

  int out_fd = -1;

 private:
  long columns_;
  long column_ = 0;
  std::vector<char> out_;
  size_t filled_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: xyz_floor IN OUT [COLUMNS]\n");
    return 2;
  }
  const long columns = argc == 4 ? std::atol(argv[3]) : 2000;
  int in = ::open(argv[1], O_RDONLY);
  int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || columns <= 0) {
    std::perror("xyz_floor");
    return 1;
  }
  Floor floor(columns);
  floor.out_fd = out;
  // Each block is read behind the partial last line of the one before.
  std::vector<char> buffer(kBlockBytes * 2);
  size_t tail = 0;
  for (;;) {
    if (buffer.size() - tail < kBlockBytes) buffer.resize(tail + kBlockBytes);
    ssize_t got = ::read(in, buffer.data() + tail, buffer.size() - tail);
    if (got < 0) {
      std::perror("xyz_floor");
      return 1;
    }
    const char* begin = buffer.data();
    const char* end = begin + tail + static_cast<size_t>(got);
    const char* rest = floor.ParseLines(begin, end, got == 0);
    if (rest == nullptr) {
      std::perror("xyz_floor");
      return 1;
    }
    if (got == 0) break;
    tail = static_cast<size_t>(end - rest);
    std::memmove(buffer.data(), rest, tail);
  }
  if (!floor.Flush() || ::close(out) != 0) {
    std::perror("xyz_floor");
    return 1;
  }
  ::close(in);
  return 0;
}
