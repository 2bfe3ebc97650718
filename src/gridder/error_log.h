// The gridder's error log: one line per failed XYZ file, appended to a file shared by all runs.
#pragma once

#include <string>
#include <string_view>

#include "core/status.h"

namespace terravox {

// The text with every control character escaped (\r, \n, \t, other bytes below 0x20 and 0x7F
// as \xHH), so a file name cannot add or forge log lines. Other bytes, backslashes included
// (Windows separators), pass through unchanged.
std::string EscapeControlCharacters(std::string_view text);

// Appends line plus CR LF to the log at log_path, creating the file when it is missing.
// The log lives under a fixed name in a shared folder, so it is never opened through a symbolic
// link and only ever written as a regular file. Control characters in line are escaped first, so
// one call always writes one line. On failure the description names the log and
// the reason: "Cannot write the error log /tmp/x/y.log: Path not found".
Status AppendErrorLog(const std::string& log_path, std::string_view line);

}  // namespace terravox
