// GRID raster datasets on disk: whether this user may remove one, and removing it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/paths.h"
#include "engine/grid_folder.h"
#include "engine/raster_dataset.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;

// The folder that holds path ("." for a bare name); trailing separators do not count.
std::string ParentFolder(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == kPathSeparator)) path.pop_back();
  std::string parent = fs::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

// Removing an entry from a folder takes write and search permission on it.
int CheckEntriesRemovable(const std::string& folder) {
  return access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

// In a folder with the sticky bit only the owner of an entry or of the folder (or root) may
// remove it, whatever the permission bits say.
int CheckStickyOwner(const std::string& parent, const std::string& entry) {
  struct stat parent_stat {};
  struct stat entry_stat {};
  if (stat(parent.c_str(), &parent_stat) != 0) return errno;
  if ((parent_stat.st_mode & S_ISVTX) == 0) return 0;
  if (lstat(entry.c_str(), &entry_stat) != 0) return errno;
  uid_t user = geteuid();
  if (user == 0 || user == parent_stat.st_uid || user == entry_stat.st_uid) return 0;
  return EPERM;
}

// 0 when this user may remove the GRID's files, its sub-folders and the folder itself; else
// the errno that removal would meet first. Checked before anything is touched, so a refused
// removal never leaves half a GRID.
int CheckRemovable(const std::string& grid) {
  const std::string parent = ParentFolder(grid);
  if (int err = CheckEntriesRemovable(parent)) return err;
  if (int err = CheckStickyOwner(parent, grid)) return err;
  // A link to a GRID is removed as a link: what it points at stays.
  std::error_code ec;
  if (fs::is_symlink(grid, ec)) return 0;
  if (int err = CheckEntriesRemovable(grid)) return err;
  for (auto it = fs::recursive_directory_iterator(grid, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_directory(ec) || it->is_symlink(ec)) continue;
    if (int err = CheckEntriesRemovable(it->path().string())) return err;
  }
  return ec ? ec.value() : 0;
}

}  // namespace

bool RasterDataset::IsDeletable() const {
  return IsGridFolder(path_) && CheckRemovable(path_) == 0;
}

Status RasterDataset::RemoveDataset() const {
  std::error_code ec;
  if (!fs::exists(path_, ec)) return Error(ErrorKind::kPathNotFound, "Path not found: " + path_);
  if (!IsGridFolder(path_)) {
    return Error(ErrorKind::kEngine, "Not a GRID raster, so it is not removed: " + path_);
  }
  if (int err = CheckRemovable(path_)) return Error::FromErrno(err);
  fs::remove_all(path_, ec);
  if (ec) return Error::FromErrno(ec.value());
  return Status::Ok();
}

}  // namespace terravox::engine
