// GDAL registration and error capture.
#include "engine/gdal_scope.h"

#include <mutex>

namespace terravox::engine {

void EnsureGdalRegistered() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
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
