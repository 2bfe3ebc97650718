// DirChain: what the folder dialog's directory list shows: the folders from the root down to the
// open folder, then the sub-folders of that folder. Plain C++, so tests can drive it directly.
#pragma once

#include <string>
#include <vector>

#include "core/status.h"

namespace terravox {

struct DirEntry {
  std::string name;   // as shown: the root path for a root, else the folder's own name
  std::string path;   // full path, no trailing separator except for a root
  int level = 0;      // depth below the root, which is 0
  bool open = false;  // on the chain down to the open folder (the open folder included)
};

class DirChain {
 public:
  // Makes folder the open folder and lists its sub-folders (hidden ones, beginning with ".",
  // left out; ordered by name, letters without case, then exact bytes). A folder that cannot
  // be listed is an error, and then nothing changes.
  Status Open(const std::string& folder);
  // The chain down to folder without listing it: for a start folder that cannot be read.
  void OpenUnlisted(const std::string& folder);

  // The open folder, as NormalFolderPath gives it; empty before the first open.
  const std::string& Current() const { return current_; }
  const std::vector<DirEntry>& Entries() const { return entries_; }
  // Index of the open folder in Entries(); -1 before the first open.
  int CurrentIndex() const { return current_index_; }

 private:
  void SetChain(const std::string& folder, std::vector<std::string> sub_folders);

  std::string current_;
  std::vector<DirEntry> entries_;
  int current_index_ = -1;
};

// folder made absolute and lexically normal, without a trailing separator unless it is a root.
std::string NormalFolderPath(const std::string& folder);

// The drive (mount point) that holds folder: the longest of drives that is folder itself or one
// of its ancestors; empty when none is.
std::string DriveOf(const std::string& folder, const std::vector<std::string>& drives);

}  // namespace terravox
