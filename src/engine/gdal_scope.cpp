// GDAL registration and error capture.
#include "engine/gdal_scope.h"

#include <mutex>
#include <string>

namespace terravox::engine {

void EnsureGdalRegistered() {
  static std::once_flag once;
  std::call_once(once, [] {
    // No input may make GDAL read a file the input names: a VRT's raw band reads any file by
    // path. GDAL releases that know this option honour it; for the others the VRT driver, which
    // no step needs, is skipped (on every later registration too).
    CPLSetConfigOption("GDAL_VRT_ENABLE_RAWRASTERBAND", "NO");
    const std::string skipped = CPLGetConfigOption("GDAL_SKIP", "");
    CPLSetConfigOption("GDAL_SKIP", (skipped.empty() ? "VRT" : skipped + " VRT").c_str());
    // GDAL's .aux.xml side files are neither taken as claims about our inputs nor written beside
    // them.
    CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
    GDALAllRegister();
  });
}

bool IsGdalVirtualPath(std::string_view path) {
  constexpr std::string_view kPrefix = "/vsi";
  if (path.size() < kPrefix.size()) return false;
  for (size_t i = 0; i < kPrefix.size(); ++i) {
    const char c = path[i] == '\\' ? '/' : path[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != kPrefix[i]) return false;
  }
  return true;
}

GdalErrorScope::GdalErrorScope() : pusher_(CPLQuietErrorHandler) { CPLErrorReset(); }

Error GdalErrorScope::LastError(std::string_view fallback) {
  std::string message = CPLGetLastErrorMsg();
  // GDAL messages sometimes end in a newline or carry the driver's prefix on its own line.
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  if (message.empty()) message = std::string(fallback);
  return Error(ErrorKind::kEngine, std::move(message));
}

bool GdalErrorScope::HasFailure() { return CPLGetLastErrorType() >= CE_Failure; }

}  // namespace terravox::engine
