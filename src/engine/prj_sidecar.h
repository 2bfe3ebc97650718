// The coordinate system beside an ESRI ASCII grid: its .prj sidecar, read as GDAL's reader of
// that format reads it.
#pragma once

#include <optional>
#include <string>

#include "core/status.h"

namespace terravox::engine {

struct PrjSidecar {
  std::string path;
  std::string wkt;           // the coordinate system as WKT2
  bool arc_seconds = false;  // a geographic system in "Units DS": the grid's header in seconds
};

// The sidecar of the grid at grid_path: the file that replaces the grid's last extension with
// ".prj" in any case (".prj" first, then ".PRJ", then others in name order), else the one named
// after its base name (the part before the first dot). None when there is no sidecar or it
// holds only blanks. Fails, naming the sidecar, when it is no regular file, cannot be read or
// holds no coordinate system.
Result<std::optional<PrjSidecar>> ReadPrjSidecar(const std::string& grid_path);

}  // namespace terravox::engine
