// AsciiGridFiles: which files of the ASCII folder the ASCII step converts.
#pragma once

#include <string>
#include <vector>

namespace terravox {

// The names of the listing that are grids, in listing order. Left out are the side files that
// belong to another file of the folder: a ".prj" (any case) whose base name another file shares
// (that grid's coordinate system), and GDAL's "FILE.aux.xml" (any case).
std::vector<std::string> AsciiGridFiles(const std::vector<std::string>& listing);

}  // namespace terravox
