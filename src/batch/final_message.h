// The final message box of a run, and its text when a run that kept going had failed files.
#pragma once

#include <string>
#include <vector>

#include "core/file_record.h"

namespace terravox {

inline constexpr const char* kFinishedText = "All files in the folders were finished";
inline constexpr const char* kFinishedTitle = "Program is Finished";
inline constexpr const char* kStoppedText = "There are some errors happened during processing";
inline constexpr const char* kStoppedTitle = "Program is Stopped";

// kStoppedText, then the failed files on the same line: "...; failed: xyz2ascii /d/a.xyz (Type
// mismatch); ...", the first ten of them and how many more.
std::string StoppedTextNaming(const std::vector<FileRecord>& failures);

}  // namespace terravox
