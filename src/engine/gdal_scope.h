// GDAL plumbing shared by the engine: one-time driver registration, a scope that keeps GDAL
// quiet and turns its last message into an engine Error, and owning aliases for option lists.
// Private to src/engine: nothing above this folder sees a GDAL type.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <cpl_error.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <gdal_utils.h>

#include "core/status.h"

namespace terravox::engine {

// Registers GDAL's drivers once per process, with the options that keep an input from making
// GDAL follow a path written inside it (no VRT driver, VRT raw bands off, no .aux.xml side files).
void EnsureGdalRegistered();

// True when GDAL would take path for one of its virtual file systems (/vsizip/, /vsicurl/,
// /vsimem/, ...) rather than a file on disk. Such paths come only from input text and are refused.
bool IsGdalVirtualPath(std::string_view path);

// While alive, GDAL prints nothing and the error state starts clean; the state the caller had is
// restored afterwards.
class GdalErrorScope {
 public:
  GdalErrorScope();
  GdalErrorScope(const GdalErrorScope&) = delete;
  GdalErrorScope& operator=(const GdalErrorScope&) = delete;

  // An engine error with GDAL's last message, or with the fallback when GDAL said nothing.
  static Error LastError(std::string_view fallback);
  // True when GDAL recorded a failure since the scope began (or since the last reset).
  static bool HasFailure();

 private:
  CPLErrorStateBackuper state_;
  CPLErrorHandlerPusher pusher_;
};

struct GdalDemOptionsDeleter {
  void operator()(GDALDEMProcessingOptions* options) const {
    GDALDEMProcessingOptionsFree(options);
  }
};
using GdalDemOptionsPtr = std::unique_ptr<GDALDEMProcessingOptions, GdalDemOptionsDeleter>;

}  // namespace terravox::engine
