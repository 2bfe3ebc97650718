// OutputFile on POSIX descriptors: O_EXCL so nothing already there is ever overwritten.
#include "gis/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace terravox::gis {

Result<OutputFile> OutputFile::Create(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return Error::FromErrno(errno);
  return OutputFile(fd, path);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), size_(other.size_) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    size_ = other.size_;
  }
  return *this;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

Status OutputFile::Append(std::span<const uint8_t> bytes) {
  if (fd_ < 0) return Error(ErrorKind::kOther, "write to a closed file " + path_);
  const uint8_t* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error::FromErrno(errno);
    }
    p += n;
    left -= static_cast<size_t>(n);
    size_ += n;
  }
  return Status::Ok();
}

Status OutputFile::Patch(int64_t offset, std::span<const uint8_t> bytes) {
  if (fd_ < 0) return Error(ErrorKind::kOther, "write to a closed file " + path_);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                         static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error::FromErrno(errno);
    }
    done += static_cast<size_t>(n);
  }
  return Status::Ok();
}

Status OutputFile::Close() {
  if (fd_ < 0) return Status::Ok();
  int fd = std::exchange(fd_, -1);
  // Some file systems report a failed write only here.
  if (::close(fd) != 0 && errno != EINTR) return Error::FromErrno(errno);
  return Status::Ok();
}

Status WriteNewFile(const std::string& path, std::span<const uint8_t> bytes) {
  Result<OutputFile> file = OutputFile::Create(path);
  if (!file) return file.error();
  if (Status s = file->Append(bytes); !s.ok()) return s;
  return file->Close();
}

}  // namespace terravox::gis
