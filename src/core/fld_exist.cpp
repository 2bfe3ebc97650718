// FldExist on std::filesystem.
#include "core/fld_exist.h"

#include <filesystem>
#include <system_error>

namespace terravox {

Result<bool> FldExist(const std::string& str) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // status() follows links, so a link to a folder counts as the folder it names.
  fs::file_status status = fs::status(fs::path(str), ec);
  // "Not found" covers a missing entry and a path through a file (ENOTDIR): both answer no.
  if (status.type() == fs::file_type::not_found) return false;
  if (ec) return Error::FromErrno(ec.value());
  return status.type() == fs::file_type::directory;
}

}  // namespace terravox
