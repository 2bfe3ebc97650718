// prj.adf text through OGR's ESRI export, which the AIG reader's ESRI import understands.
#include "engine/grid_prj.h"

#include <cpl_conv.h>
#include <ogr_spatialref.h>

#include <memory>

#include "engine/gdal_scope.h"

namespace terravox::engine {
namespace {

struct CplFree {
  void operator()(char* p) const { CPLFree(p); }
};

}  // namespace

Result<std::string> EsriWktFrom(const std::string& wkt) {
  GdalErrorScope scope;
  OGRSpatialReference srs;
  if (srs.importFromWkt(wkt.c_str()) != OGRERR_NONE) {
    return GdalErrorScope::LastError("The coordinate system cannot be read: " + wkt);
  }
  char* raw = nullptr;
  const char* const options[] = {"FORMAT=WKT1_ESRI", "MULTILINE=NO", nullptr};
  OGRErr err = srs.exportToWkt(&raw, options);
  std::unique_ptr<char, CplFree> text(raw);
  if (err != OGRERR_NONE || !text || *text == '\0') {
    return GdalErrorScope::LastError("The coordinate system has no ESRI form: " + wkt);
  }
  return std::string(text.get());
}

}  // namespace terravox::engine
