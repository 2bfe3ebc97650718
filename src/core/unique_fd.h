// UniqueFd: an owned POSIX file descriptor, for the files whose open flags matter (the error
// log's O_NOFOLLOW, the gridder's exclusive temporary output), and whole, checked writes.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "core/status.h"

namespace terravox {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  // Closes without a report: call Close() where a failed close must be seen.
  ~UniqueFd();

  bool valid() const { return fd_ >= 0; }
  int get() const { return fd_; }
  // Closes the descriptor (if any); the error of a failed close, e.g. a delayed write error.
  Status Close();

 private:
  int fd_ = -1;
};

// Writes all bytes, retrying short and interrupted writes.
Status WriteAll(int fd, std::string_view bytes);
// Writes all bytes at an offset (pwrite), retrying short and interrupted writes.
Status WriteAllAt(int fd, std::string_view bytes, int64_t offset);

}  // namespace terravox
