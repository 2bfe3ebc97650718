// DirChain on std::filesystem.
#include "ui/dir_chain.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/folder_listing.h"

namespace terravox {
namespace fs = std::filesystem;
namespace {

Error ListingError(const std::error_code& ec) {
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) {
    return Error(ErrorKind::kPathNotFound);
  }
  if (ec.category() == std::generic_category() || ec.category() == std::system_category()) {
    return Error::FromErrno(ec.value());
  }
  return Error(ErrorKind::kOther, ec.message());
}

Result<std::vector<std::string>> ListSubFolders(const std::string& folder) {
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder), ec);
  if (ec) return ListingError(ec);
  std::vector<std::string> names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return ListingError(ec);
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code type_ec;
    if (!it->is_directory(type_ec)) continue;  // follows links to folders
    names.push_back(std::move(name));
  }
  if (ec) return ListingError(ec);
  std::sort(names.begin(), names.end(), FileNameLess);
  return names;
}

}  // namespace

std::string NormalFolderPath(const std::string& folder) {
  std::error_code ec;
  fs::path path = fs::absolute(fs::path(folder), ec);
  if (ec) path = fs::path(folder);
  path = path.lexically_normal();
  // "/a/b/" normalises to "/a/b/": drop the empty last piece, but keep a root's separator.
  if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
  return path.string();
}

std::string DriveOf(const std::string& folder, const std::vector<std::string>& drives) {
  const fs::path path(NormalFolderPath(folder));
  std::string best;
  for (const std::string& drive : drives) {
    const fs::path root(NormalFolderPath(drive));
    // An ancestor matches piece by piece, so "/mnt/a" does not hold "/mnt/ab".
    auto [root_end, path_end] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    (void)path_end;
    if (root_end == root.end() && root.string().size() > best.size()) best = root.string();
  }
  return best;
}

Status DirChain::Open(const std::string& folder) {
  const std::string path = NormalFolderPath(folder);
  Result<std::vector<std::string>> sub_folders = ListSubFolders(path);
  if (!sub_folders.ok()) return sub_folders.error();
  SetChain(path, std::move(sub_folders).value());
  return Status::Ok();
}

void DirChain::OpenUnlisted(const std::string& folder) { SetChain(NormalFolderPath(folder), {}); }

void DirChain::SetChain(const std::string& folder, std::vector<std::string> sub_folders) {
  entries_.clear();
  const fs::path path(folder);
  fs::path walked = path.root_path();
  entries_.push_back({walked.string(), walked.string(), 0, true});
  int level = 0;
  for (const fs::path& piece : path.relative_path()) {
    if (piece.empty()) continue;
    walked /= piece;
    entries_.push_back({piece.string(), walked.string(), ++level, true});
  }
  current_ = folder;
  current_index_ = static_cast<int>(entries_.size()) - 1;
  for (std::string& name : sub_folders) {
    std::string sub_path = (path / name).string();
    entries_.push_back({std::move(name), std::move(sub_path), level + 1, false});
  }
}

}  // namespace terravox
