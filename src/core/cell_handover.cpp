// CellHandOver: rooms taken from a byte capacity, cells kept by absolute path and checked against
// the stamps of their files when taken.
#include "core/cell_handover.h"

#include <sys/stat.h>

#include <cerrno>

#include "core/paths.h"

namespace terravox {
namespace {

FileStamp StampOfStat(const struct stat& st) {
  return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                   static_cast<int64_t>(st.st_size),
                   static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

}  // namespace

Result<FileStamp> StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Error::FromErrno(errno);
  return StampOfStat(st);
}

Result<FileStamp> StampOfFd(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Error::FromErrno(errno);
  return StampOfStat(st);
}

CellHandOver::Room& CellHandOver::Room::operator=(Room&& other) noexcept {
  if (this != &other) {
    Release();
    owner_ = std::exchange(other.owner_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

bool CellHandOver::Room::Grow(uint64_t total) {
  if (owner_ == nullptr) return false;
  if (total <= bytes_) return true;
  {
    std::lock_guard lock(owner_->mutex_);
    if (owner_->used_ + (total - bytes_) <= owner_->capacity_) {
      owner_->used_ += total - bytes_;
      bytes_ = total;
      return true;
    }
  }
  Release();
  return false;
}

void CellHandOver::Room::Release() {
  if (owner_ != nullptr) owner_->Give(bytes_);
  owner_ = nullptr;
  bytes_ = 0;
}

CellHandOver::Room CellHandOver::Reserve(uint64_t bytes) {
  Room room;
  std::lock_guard lock(mutex_);
  if (used_ + bytes > capacity_) return room;
  used_ += bytes;
  room.owner_ = this;
  room.bytes_ = bytes;
  return room;
}

void CellHandOver::Give(uint64_t bytes) {
  std::lock_guard lock(mutex_);
  used_ -= bytes;
}

void CellHandOver::Keep(const std::string& path, std::shared_ptr<const HandedCells> cells,
                        Room room) {
  // Cells with no file to check against could never be told apart from a changed file.
  if (!cells || cells->files.empty() || room.owner_ != this || !room.Grow(cells->bytes())) return;
  const uint64_t bytes = std::exchange(room.bytes_, 0);
  room.owner_ = nullptr;
  std::lock_guard lock(mutex_);
  Entry& entry = kept_[AbsolutePath(path)];
  used_ -= entry.bytes;
  entry = Entry{std::move(cells), bytes};
}

std::shared_ptr<const HandedCells> CellHandOver::Take(const std::string& path) {
  const std::string key = AbsolutePath(path);
  Entry entry;
  {
    std::lock_guard lock(mutex_);
    auto found = kept_.find(key);
    if (found == kept_.end()) return nullptr;
    entry = std::move(found->second);
    kept_.erase(found);
    used_ -= entry.bytes;
  }
  for (const auto& [name, stamp] : entry.cells->files) {
    Result<FileStamp> now = StampOf(name.empty() ? key : JoinPath(key, name));
    if (!now.ok() || *now != stamp) return nullptr;
  }
  return std::move(entry.cells);
}

uint64_t CellHandOver::held_bytes() const {
  std::lock_guard lock(mutex_);
  return used_;
}

}  // namespace terravox
