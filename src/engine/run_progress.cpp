// RunProgress and FailureOrStop: GDAL's progress callbacks tied to the run control.
#include "engine/run_progress.h"

#include "core/run_control.h"
#include "engine/gdal_scope.h"

namespace terravox::engine {

int CPL_STDCALL RunProgress(double complete, const char* /*message*/, void* /*data*/) {
  return CheckRun(complete).ok() ? TRUE : FALSE;
}

Error FailureOrStop(std::string_view fallback) {
  if (Status stop = CheckRun(); !stop.ok()) return stop.error();
  return GdalErrorScope::LastError(fallback);
}

}  // namespace terravox::engine
