// PendingFile: exclusive creation of the temporary file, rename on commit.
#include "core/pending_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "core/owner_lock.h"
#include "core/paths.h"
#include "core/temporary_name.h"

namespace terravox {
namespace {

// The folder part of a path with its trailing separator ("" for a bare name).
std::string FolderPrefix(const std::string& path) {
  size_t separator = path.rfind(kPathSeparator);
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// Creating a file in a folder: a missing file can only mean a missing folder.
Error CreateError(int err) {
  if (err == ENOENT) return Error(ErrorKind::kPathNotFound);
  return Error::FromErrno(err);
}

}  // namespace

PendingFile::PendingFile(PendingFile&& other) noexcept
    : target_(std::move(other.target_)),
      temp_path_(std::exchange(other.temp_path_, {})),
      fd_(std::move(other.fd_)),
      owner_lock_(std::move(other.owner_lock_)) {}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
  if (this != &other) {
    Discard();
    target_ = std::move(other.target_);
    temp_path_ = std::exchange(other.temp_path_, {});
    fd_ = std::move(other.fd_);
    owner_lock_ = std::move(other.owner_lock_);
  }
  return *this;
}

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard() {
  (void)fd_.Close();
  if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
  temp_path_.clear();
  owner_lock_.reset();
}

Status PendingFile::Create(const std::string& target) {
  Discard();
  target_ = target;
  std::string folder = FolderPrefix(target);
  owner_lock_ = HoldOwnerLock(folder);
  constexpr int kAttempts = 16;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string path = folder + NewTemporaryStem() + std::string(kTemporarySuffix);
    // O_EXCL: never write into a file someone else made (or planted) under that name.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = UniqueFd(fd);
      temp_path_ = std::move(path);
      return Status::Ok();
    }
    if (errno != EEXIST) return CreateError(errno);
  }
  return Error::FromErrno(EEXIST);
}

Result<FileStamp> PendingFile::Stamp() const {
  if (!fd_.valid()) return Error::FromErrno(EBADF);
  return StampOfFd(fd_.get());
}

Status PendingFile::Write(std::string_view bytes) {
  if (!fd_.valid()) return Error::FromErrno(EBADF);
  return WriteAll(fd_.get(), bytes);
}

Status PendingFile::WriteAt(uint64_t offset, std::string_view bytes) {
  if (!fd_.valid()) return Error::FromErrno(EBADF);
  return WriteAllAt(fd_.get(), bytes, static_cast<int64_t>(offset));
}

Status PendingFile::AppendFrom(const PendingFile& source, uint64_t offset, uint64_t length) {
  if (!fd_.valid() || source.temp_path_.empty()) return Error::FromErrno(EBADF);
  // The source was opened for writing only: it is read through a descriptor of its own.
  int in = ::open(source.temp_path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return Error::FromErrno(errno);
  UniqueFd input(in);
  auto position = static_cast<off_t>(offset);
#ifdef __linux__
  // In the kernel, without passing the bytes through this process.
  while (length > 0) {
    ssize_t copied = ::copy_file_range(in, &position, fd_.get(), nullptr, length, 0);
    if (copied < 0 && errno == EINTR) continue;
    if (copied <= 0) break;  // not supported here, or the source is shorter: read and write
    length -= static_cast<uint64_t>(copied);
  }
#endif
  std::string buffer(std::min<uint64_t>(length, uint64_t{1} << 20), '\0');
  while (length > 0) {
    ssize_t got = ::pread(in, buffer.data(), std::min<uint64_t>(length, buffer.size()), position);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Error::FromErrno(errno);
    if (got == 0) return Error::FromErrno(EIO);  // the source ended early
    if (Status s = WriteAll(fd_.get(), std::string_view(buffer.data(), static_cast<size_t>(got)));
        !s.ok()) {
      return s;
    }
    position += got;
    length -= static_cast<uint64_t>(got);
  }
  return Status::Ok();
}

Status PendingFile::Commit() {
  if (temp_path_.empty()) return Error::FromErrno(EBADF);
  Status status = fd_.Close();
  if (status.ok() && ::rename(temp_path_.c_str(), target_.c_str()) != 0) {
    status = Error::FromErrno(errno);
  }
  if (status.ok()) temp_path_.clear();  // it is the target now
  Discard();
  return status;
}

}  // namespace terravox
