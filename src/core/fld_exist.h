// FldExist: whether a folder exists at a path (a GRID raster is a folder too).
#pragma once

#include <string>

#include "core/status.h"

namespace terravox {

// True exactly when a folder (or a link to one) exists at str. An error when the question
// cannot be answered (for instance a component of the path may not be searched).
Result<bool> FldExist(const std::string& str);

}  // namespace terravox
