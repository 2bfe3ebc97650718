// OutputFile: a new binary file written with checked, whole writes; Close() reports the last
// failure so a lost write is never mistaken for a finished file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "batch/status.h"

namespace terravox::gis {

class OutputFile {
 public:
  // Creates path, which must not exist yet (it lives in a folder we just made).
  static Result<OutputFile> Create(const std::string& path);
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Closes without a report; call Close() to learn whether the data reached the file.
  ~OutputFile();

  // Appends all bytes, retrying short writes.
  Status Append(std::span<const uint8_t> bytes);
  // Overwrites bytes at an offset already written (a length field known only at the end).
  Status Patch(int64_t offset, std::span<const uint8_t> bytes);
  Status Close();
  // Bytes appended so far.
  int64_t size() const { return size_; }

 private:
  OutputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_ = -1;
  std::string path_;
  int64_t size_ = 0;
};

// Creates path holding exactly these bytes.
Status WriteNewFile(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace terravox::gis
