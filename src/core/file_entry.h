// Single entries of a folder: whether anything is at a path, and the deletion of an old output
// that a run replaces.
#pragma once

#include <string>

#include "core/status.h"

namespace terravox {

// True when a lookup finds anything at path, a dangling symbolic link included; false when the
// lookup itself fails.
bool EntryExists(const std::string& path);

// What a lookup that cannot be answered (a link loop, a folder that may not be searched) means.
enum class LookupFailure { kFails, kFindsNothing };

// Deletes path when a directory lookup finds it: a regular file, or a link to one, whose name is
// not hidden. Folders, other kinds of file and hidden names are never found, so never deleted.
// A deletion that fails is an error; so is a failed lookup under LookupFailure::kFails.
Status DeleteOldFile(const std::string& path, LookupFailure on_lookup_failure);

}  // namespace terravox
