// PendingDir: temporary names, the no-replace rename and the clean-up.
#include "engine/pending_dir.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include "core/owner_lock.h"
#include "core/paths.h"
#include "core/temporary_name.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

// Renames without ever replacing: plain rename() would silently swap in our folder for an
// empty folder of the same name.
int RenameNoReplace(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  // File systems without the flag: check, then rename (a narrow race, nothing better exists).
  if (Exists(to)) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

Error DatasetExistsError(const std::string& path) {
  return Error(ErrorKind::kEngine, "A dataset already exists at " + path);
}

Result<PendingDir> PendingDir::Create(const std::string& target_path) {
  Result<PendingDir> dir = CreateAhead(target_path);
  if (dir.ok() && Exists(dir->target())) return DatasetExistsError(dir->target());
  return dir;
}

Result<PendingDir> PendingDir::CreateAhead(const std::string& target_path) {
  std::string target = target_path;
  while (target.size() > 1 && target.back() == kPathSeparator) target.pop_back();
  std::string name = LastPathPiece(target);
  if (!IsPlainName(name)) {
    return Error(ErrorKind::kEngine, "Not a valid dataset name: " + target_path);
  }
  std::string parent = target.substr(0, target.size() - name.size());
  std::error_code ec;
  if (!fs::is_directory(parent.empty() ? "." : parent, ec)) {
    return Error(ErrorKind::kPathNotFound);
  }
  std::shared_ptr<const void> owner_lock = HoldOwnerLock(parent);
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string temp = parent + NewTemporaryStem() + std::string(kTemporarySuffix);
    if (::mkdir(temp.c_str(), 0777) == 0) return PendingDir(target, temp, std::move(owner_lock));
    if (errno != EEXIST) return Error::FromErrno(errno);
  }
  return Error::FromErrno(EEXIST);
}

PendingDir::PendingDir(PendingDir&& other) noexcept
    : target_(std::move(other.target_)),
      temp_path_(std::exchange(other.temp_path_, {})),
      owner_lock_(std::move(other.owner_lock_)) {}

PendingDir::~PendingDir() {
  if (temp_path_.empty()) return;
  std::error_code ec;
  fs::remove_all(temp_path_, ec);
}

Status PendingDir::Commit() {
  if (temp_path_.empty()) return Error(ErrorKind::kOther, "The folder was already committed");
  int err = RenameNoReplace(temp_path_, target_);
  if (err == EEXIST || err == ENOTEMPTY) return DatasetExistsError(target_);
  if (err != 0) return Error::FromErrno(err);
  temp_path_.clear();
  owner_lock_.reset();
  return Status::Ok();
}

}  // namespace terravox::engine
