// RasterConverter: an ESRI ASCII grid file written out as a GRID raster.
#pragma once

#include <string>

#include "core/status.h"
#include "engine/pending_dir.h"
#include "engine/workspace.h"

namespace terravox::engine {

class RasterConverter {
 public:
  // Reads an ESRI ASCII grid with its optional .prj sidecar (AsciiGridReader, ReadPrjSidecar)
  // and writes it as a GRID of that name in the workspace. Only "GRID" is a known format; the
  // flags are accepted and ignored. Fails with a description naming the file (and line) when the
  // input is no ESRI ASCII grid or breaks its rules, and when a dataset of that name exists;
  // nothing is left under the GRID's name then.
  // prepared, when given, is PrepareRasterFile's result for the same input and name: it is
  // committed (or its error returned) after the same checks.
  Status ConvertRasterFile(const std::string& input_path, const Workspace& workspace,
                           const std::string& name, const std::string& format, int flags,
                           Result<PendingDir>* prepared = nullptr) const;

  // The GRID of input_path written ahead as name in folder, finished but not committed; a GRID
  // of that name may still exist meanwhile. Safe to run for several files at once.
  Result<PendingDir> PrepareRasterFile(const std::string& input_path, const std::string& folder,
                                       const std::string& name) const;
};

}  // namespace terravox::engine
