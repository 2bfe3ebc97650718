// The file list of one folder, as the hidden file list of the main window gives it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/status.h"

namespace terravox {

// The bare names of the regular files of a folder (links to regular files count, folders never),
// without hidden files (names beginning with "."), ordered by name: ASCII letters compared
// without case, ties broken by the exact bytes. Path not found when the folder cannot be listed.
Result<std::vector<std::string>> ListFolderFiles(const std::string& folder);

// The order of that listing: true when a sorts before b (ASCII letters compared without case,
// ties broken by the exact bytes). Other name lists of the program follow it too.
bool FileNameLess(const std::string& a, const std::string& b);

// A folder listing that keeps its entries until its folder is set again.
class FileList {
 public:
  // Reads the folder afresh. On failure the list is empty and the error is returned.
  Status SetPath(const std::string& folder);
  const std::string& Path() const { return path_; }
  int ListCount() const { return static_cast<int>(names_.size()); }
  // REQUIRES: 0 <= index < ListCount()
  const std::string& List(int index) const { return names_[index]; }
  // Drops the entries keep refuses, keeping the order of the rest (a shard's share).
  void KeepOnly(const std::function<bool(const std::string& name)>& keep);

 private:
  std::string path_;
  std::vector<std::string> names_;
};

}  // namespace terravox
