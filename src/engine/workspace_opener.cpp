// WorkspaceOpener: an existing folder becomes a workspace; anything else is "Path not found".
#include "engine/workspace_opener.h"

#include <filesystem>
#include <system_error>

namespace terravox::engine {

Result<Workspace> WorkspaceOpener::OpenFolder(const std::string& path, int /*flags*/) const {
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec))
    return Error(ErrorKind::kPathNotFound, "Path not found: " + path);
  if (!std::filesystem::is_directory(path, ec)) {
    return Error(ErrorKind::kPathNotFound, "Path not found: " + path + " is not a folder");
  }
  return Workspace(path);
}

}  // namespace terravox::engine
