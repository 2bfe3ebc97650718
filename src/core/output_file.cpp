// OutputFile on a UniqueFd: O_EXCL so nothing already there is ever overwritten.
#include "core/output_file.h"

#include <fcntl.h>

#include <cerrno>
#include <string_view>

namespace terravox {
namespace {

std::string_view AsChars(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

Status ClosedFileError() { return Error(ErrorKind::kOther, "write to a closed file"); }

}  // namespace

Result<OutputFile> OutputFile::Create(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd.valid()) return Error::FromErrno(errno);
  return OutputFile(std::move(fd));
}

Status OutputFile::Append(std::span<const uint8_t> bytes) {
  if (!fd_.valid()) return ClosedFileError();
  if (Status s = WriteAll(fd_.get(), AsChars(bytes)); !s.ok()) return s;
  size_ += static_cast<int64_t>(bytes.size());
  return Status::Ok();
}

Status OutputFile::Patch(int64_t offset, std::span<const uint8_t> bytes) {
  if (!fd_.valid()) return ClosedFileError();
  return WriteAllAt(fd_.get(), AsChars(bytes), offset);
}

Status WriteNewFile(const std::string& path, std::span<const uint8_t> bytes) {
  Result<OutputFile> file = OutputFile::Create(path);
  if (!file) return file.error();
  if (Status s = file->Append(bytes); !s.ok()) return s;
  return file->Close();
}

}  // namespace terravox
