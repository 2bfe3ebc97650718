// The coordinate system of a GRID as prj.adf holds it: one line of ESRI WKT.
#pragma once

#include <string>

#include "core/status.h"

namespace terravox::engine {

// The ESRI flavour of a coordinate system given as WKT (WKT1 or WKT2), on one line. Fails with
// GDAL's message when the text is not a coordinate system.
Result<std::string> EsriWktFrom(const std::string& wkt);

}  // namespace terravox::engine
