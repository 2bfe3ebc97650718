// Path joining and splitting without normalisation, and the one absolute form of a path.
#include "core/paths.h"

#include <filesystem>
#include <system_error>

namespace terravox {

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

std::string BaseName(std::string_view file_name) {
  return std::string(file_name.substr(0, file_name.find('.')));
}

bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find(kPathSeparator) == std::string_view::npos &&
         name.find('/') == std::string_view::npos;
}

std::string AbsolutePath(std::string_view path) {
  namespace fs = std::filesystem;
  if (path.empty()) return std::string();
  std::error_code ec;
  fs::path absolute = fs::absolute(fs::path(path), ec);
  if (ec) return std::string(path);
  // Iterating a path yields its pieces without the separators between them, however many.
  fs::path clean;
  for (const fs::path& piece : absolute) {
    if (piece.empty() || piece == ".") continue;
    if (piece == ".." && clean.has_relative_path() && clean.filename() != "..") {
      // "folder/.." is the folder's parent only when the folder is no link: keep it otherwise.
      std::error_code link_ec;
      if (!fs::is_symlink(clean, link_ec)) {
        clean = clean.parent_path();
        continue;
      }
    }
    if (piece == ".." && !clean.has_relative_path()) continue;  // the root is its own parent
    clean /= piece;
  }
  return clean.string();
}

std::string LastPathPiece(std::string_view path) {
  size_t separator = path.rfind(kPathSeparator);
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

}  // namespace terravox
