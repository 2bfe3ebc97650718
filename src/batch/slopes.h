// CreateSlopes: the slope GRID of one GRID raster.
#pragma once

#include <optional>
#include <string>

#include "batch/extra_outputs.h"
#include "core/batch_mdl.h"
#include "core/host.h"
#include "core/status.h"
#include "engine/pending_dir.h"
#include "engine/raster.h"
#include "engine/raster_dataset.h"

namespace terravox {

// Makes the slope of pRasterDs in degrees and stores it as the GRID
// <strExportFolder>/<raster name>, removing an old GRID of that name first. Once an old GRID's
// folder was found, failures are handled here ("File Error-<description>" titled "Program was
// interrupted", mdl.bRunOk cleared) and the status is OK; before that, and whenever no such
// folder existed, failures escape to the caller (not OK). Never removes or overwrites its own
// input raster. failure, when given, receives the text of a handled failure.
// prepared, when given, is the slope stored ahead for the same output: it takes the place of
// making and storing the slope, with the same checks before it.
// cog, when given, also stores the slope as a COG; its failures count as the store's.
// made, when given, receives the slope raster made here once its GRID is stored (none when the
// slope was stored ahead), so that later work on the tile need not read the GRID back.
struct SlopeCog {
  const CogOutputs& outputs;
  PreparedCog prepared;  // made ahead with prepared
};
Status CreateSlopes(Host& host, BatchMdl& mdl, const engine::RasterDataset& pRasterDs,
                    const std::string& strExportFolder,
                    Result<engine::PendingDir>* prepared = nullptr, std::string* failure = nullptr,
                    SlopeCog* cog = nullptr, std::optional<engine::Raster>* made = nullptr);

// The handled failure CreateSlopes gives when the slope at output_path would replace its own input
// raster (the slope folder is the GRID folder, however spelt), or OK.
Status CheckSlopeTarget(const std::string& output_path, const std::string& input_path);

}  // namespace terravox
