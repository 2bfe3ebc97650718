// GDAL's side of the run control: a progress callback that reports into the current file's
// progress and stops GDAL's work once the run is asked to stop.
#pragma once

#include <cpl_progress.h>

#include <string_view>

#include "core/status.h"

namespace terravox::engine {

// A GDALProgressFunc: reports complete (0..1) and returns FALSE, which makes GDAL give up, once a
// stop was requested. Its data argument is unused.
int CPL_STDCALL RunProgress(double complete, const char* message, void* data);

// The error of a GDAL call that failed: the stop when one was requested (GDAL then reports
// only "User terminated"), else GDAL's last error or the fallback text.
Error FailureOrStop(std::string_view fallback);

}  // namespace terravox::engine
