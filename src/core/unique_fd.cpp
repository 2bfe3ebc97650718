// UniqueFd, WriteAll and WriteAllAt on the POSIX calls.
#include "core/unique_fd.h"

#include <unistd.h>

#include <cerrno>

namespace terravox {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    (void)Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

UniqueFd::~UniqueFd() { (void)Close(); }

Status UniqueFd::Close() {
  if (fd_ < 0) return Status::Ok();
  // The descriptor is gone after close() whatever it returns; never retry it.
  int result = ::close(std::exchange(fd_, -1));
  if (result != 0 && errno != EINTR) return Error::FromErrno(errno);
  return Status::Ok();
}

Status WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return Error::FromErrno(errno);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return Status::Ok();
}

Status WriteAllAt(int fd, std::string_view bytes, int64_t offset) {
  while (!bytes.empty()) {
    ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      return Error::FromErrno(errno);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
    offset += written;
  }
  return Status::Ok();
}

}  // namespace terravox
