// RasterConverter: an ESRI ASCII grid file written out as a GRID raster.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/cell_handover.h"
#include "core/status.h"
#include "engine/pending_dir.h"
#include "engine/workspace.h"

namespace terravox::engine {

// The cells a conversion takes from memory and hands on (core/cell_handover.h).
struct ConversionCells {
  // The input's cells as its reader gives them, handed on by the step that wrote the input (and
  // checked unchanged since); its header is read from their header text. None: the file is read.
  std::shared_ptr<const HandedCells> input;
  // Where the GRID's cells are handed on, with the stamps of the files they lie in, once the GRID
  // is committed; none: they are not gathered.
  CellHandOver* output = nullptr;
  // Receives the GRID's cells handed on by ConvertRasterFile, for other outputs of the GRID.
  std::shared_ptr<const HandedCells>* committed = nullptr;
};

// A finished GRID under a temporary name, and its cells when they were gathered.
struct ConvertedGrid {
  PendingDir dir;
  std::optional<PendingCells> cells;
};

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
                           Result<ConvertedGrid>* prepared = nullptr,
                           const ConversionCells& cells = {}) const;

  // The GRID of input_path written ahead as name in folder, finished but not committed; a GRID
  // of that name may still exist meanwhile. Safe to run for several files at once.
  Result<ConvertedGrid> PrepareRasterFile(const std::string& input_path, const std::string& folder,
                                          const std::string& name,
                                          const ConversionCells& cells = {}) const;
};

}  // namespace terravox::engine
