// PendingDir: a folder built under a temporary name (core/temporary_name.h) beside its target and
// renamed into place only when complete, so a failure never leaves a half-written folder under the
// real name.
#pragma once

#include <memory>
#include <string>

#include "core/status.h"

namespace terravox::engine {

class PendingDir {
 public:
  // Makes the temporary folder in target's parent folder. Fails when target exists (in any form,
  // a dangling link too), when the parent folder is missing ("Path not found") or cannot take a
  // new folder.
  static Result<PendingDir> Create(const std::string& target);
  // The same, but the target may still exist: for work done ahead, committed once the old
  // dataset is gone (Commit never replaces it).
  static Result<PendingDir> CreateAhead(const std::string& target);
  PendingDir(PendingDir&& other) noexcept;
  PendingDir& operator=(PendingDir&&) = delete;
  PendingDir(const PendingDir&) = delete;
  PendingDir& operator=(const PendingDir&) = delete;
  // Removes the temporary folder and everything in it unless committed.
  ~PendingDir();

  // Where to write the folder's files until Commit().
  const std::string& temp_path() const { return temp_path_; }
  const std::string& target() const { return target_; }

  // Renames the temporary folder to the target; never replaces anything that appeared there
  // meanwhile (then it fails and the temporary folder stays until destruction).
  Status Commit();

 private:
  PendingDir(std::string target, std::string temp_path, std::shared_ptr<const void> owner_lock)
      : target_(std::move(target)),
        temp_path_(std::move(temp_path)),
        owner_lock_(std::move(owner_lock)) {}
  std::string target_;
  std::string temp_path_;                   // empty once committed or moved from
  std::shared_ptr<const void> owner_lock_;  // held while the temporary folder exists
};

// The error for a dataset that is already there.
Error DatasetExistsError(const std::string& path);

}  // namespace terravox::engine
