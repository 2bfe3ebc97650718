// TextFileWriter: text appended to a new file through a buffer of about a megabyte, for the
// programs that make the benchmarks' input.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class TextFileWriter {
 public:
  explicit TextFileWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;
  ~TextFileWriter() {
    if (file_ != nullptr) std::fclose(file_);
  }

  bool opened() const { return file_ != nullptr; }
  void Append(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() > (size_t{1} << 20)) Flush();
  }
  // Writes what is held and closes the file; false when any write or the close failed.
  bool Close() {
    Flush();
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed && !failed_;
  }

 private:
  void Flush() {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) failed_ = true;
    buffer_.clear();
  }

  std::FILE* file_;
  std::string buffer_;
  bool failed_ = false;
};
