// OutputFile: a new binary file written with checked, whole writes; Close() reports the last
// failure so a lost write is never mistaken for a finished file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/status.h"
#include "core/unique_fd.h"

namespace terravox {

class OutputFile {
 public:
  // Creates path, which must not exist yet (it lives in a folder we just made).
  static Result<OutputFile> Create(const std::string& path);

  // Appends all bytes.
  Status Append(std::span<const uint8_t> bytes);
  // Overwrites bytes at an offset already written (a length field known only at the end).
  Status Patch(int64_t offset, std::span<const uint8_t> bytes);
  // Closes the file; the error of a failed close, e.g. a delayed write error.
  Status Close() { return fd_.Close(); }
  // Bytes appended so far.
  int64_t size() const { return size_; }

 private:
  explicit OutputFile(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
  int64_t size_ = 0;
};

// Creates path holding exactly these bytes.
Status WriteNewFile(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace terravox
