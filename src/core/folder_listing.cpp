// Folder listing on std::filesystem.
#include "core/folder_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace terravox {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool LessWithoutCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(AsciiLower(x)) < static_cast<unsigned char>(AsciiLower(y));
  });
}

}  // namespace

bool FileNameLess(const std::string& a, const std::string& b) {
  if (LessWithoutCase(a, b)) return true;
  if (LessWithoutCase(b, a)) return false;
  return a < b;  // equal but for case: the exact bytes decide
}

Result<std::vector<std::string>> ListFolderFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder), ec);
  if (ec || folder.empty()) return Error(ErrorKind::kPathNotFound);
  std::vector<std::string> names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return Error(ErrorKind::kPathNotFound);
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec)) continue;  // follows links
    names.push_back(std::move(name));
  }
  if (ec) return Error(ErrorKind::kPathNotFound);
  std::sort(names.begin(), names.end(), FileNameLess);
  return names;
}

Status FileList::SetPath(const std::string& folder) {
  path_ = folder;
  names_.clear();
  Result<std::vector<std::string>> names = ListFolderFiles(folder);
  if (!names.ok()) return names.error();
  names_ = std::move(names).value();
  return Status::Ok();
}

void FileList::KeepOnly(const std::function<bool(const std::string& name)>& keep) {
  std::erase_if(names_, [&](const std::string& name) { return !keep(name); });
}

}  // namespace terravox
