// EntryExists and DeleteOldFile on std::filesystem.
#include "core/file_entry.h"

#include <filesystem>
#include <system_error>

#include "core/paths.h"

namespace terravox {

namespace fs = std::filesystem;

bool EntryExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(fs::path(path), ec));
}

Status DeleteOldFile(const std::string& path, LookupFailure on_lookup_failure) {
  const std::string name = LastPathPiece(path);
  if (name.empty() || name[0] == '.') return Status::Ok();
  std::error_code ec;
  fs::file_status status = fs::status(fs::path(path), ec);
  if (status.type() == fs::file_type::not_found) return Status::Ok();
  if (ec) {
    if (on_lookup_failure == LookupFailure::kFindsNothing) return Status::Ok();
    return Error::FromErrno(ec.value());
  }
  if (status.type() != fs::file_type::regular) return Status::Ok();
  if (!fs::remove(fs::path(path), ec) && ec) return Error::FromErrno(ec.value());
  return Status::Ok();
}

}  // namespace terravox
