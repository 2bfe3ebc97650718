// Path joining and splitting without normalisation.
#include "core/paths.h"

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

std::string LastPathPiece(std::string_view path) {
  size_t separator = path.rfind(kPathSeparator);
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

}  // namespace terravox
