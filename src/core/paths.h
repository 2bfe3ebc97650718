// Path pieces as the batch steps build them: a folder text, one separator, a name.
// Folder texts are not normalised: a trailing separator gives a doubled one.
#pragma once

#include <string>
#include <string_view>

namespace terravox {

// The platform's path separator: '/' here, '\' on Windows.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// folder + separator + name.
std::string JoinPath(std::string_view folder, std::string_view name);

// The part of a file name in front of its first "." (the whole name when it has none,
// empty when it begins with ".").
std::string BaseName(std::string_view file_name);

// True when name is one piece of a path: not empty, not "." or "..", and free of separators
// ('/' as well as the platform's own, so that no name reaches outside its folder).
bool IsPlainName(std::string_view name);

// The path made absolute against the current folder, with single separators, no "." pieces and
// no trailing separator. "folder/.." becomes the folder's parent unless the folder is a symbolic
// link (the system would go to the link target's parent). The text as given when the current
// folder cannot be read; "" for "".
std::string AbsolutePath(std::string_view path);

// The last separator-delimited piece of a path (the whole path when it holds no separator).
std::string LastPathPiece(std::string_view path);

}  // namespace terravox
