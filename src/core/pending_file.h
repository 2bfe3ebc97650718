// PendingFile: an output written under a temporary name beside its target and renamed over it
// by Commit(), so a failure never leaves a half-written file under the real name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/cell_handover.h"
#include "core/status.h"
#include "core/unique_fd.h"

namespace terravox {

class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(PendingFile&& other) noexcept;
  PendingFile& operator=(PendingFile&& other) noexcept;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  // Removes the temporary file unless it was committed.
  ~PendingFile();

  // Creates a new temporary file (core/temporary_name.h) in the folder of target. "Path not found"
  // when that folder does not exist, "Permission denied" when it cannot take a file.
  Status Create(const std::string& target);
  Status Write(std::string_view bytes);
  // Writes bytes at offset from the start of the file, over what is there; the next Write still
  // appends at the end.
  Status WriteAt(uint64_t offset, std::string_view bytes);
  // Appends length bytes of source's file, from offset on. Both are files of this process,
  // created and not yet committed; the copy stays in the file system where it can.
  Status AppendFrom(const PendingFile& source, uint64_t offset, uint64_t length);
  // The stamp of the file as written so far (core/cell_handover.h); Commit keeps it.
  Result<FileStamp> Stamp() const;
  // Closes the file (a delayed write error shows here) and renames it to the target, replacing
  // a file of that name. After a failure the temporary file is gone and the target untouched.
  Status Commit();

 private:
  void Discard();

  std::string target_;
  std::string temp_path_;
  UniqueFd fd_;
  std::shared_ptr<const void> owner_lock_;  // held while the temporary file exists
};

}  // namespace terravox
