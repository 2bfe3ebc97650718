// A tile's quick-look pictures during a run: made ahead of the raster walk from the outputs made
// ahead, or when the walk reaches the tile, and named in the run's quicklook folder once the
// tile's outputs are committed. Pictures never fail a run: a tile without them is drawn later by
// the report page from its outputs on disk.
#pragma once

#include <optional>
#include <string>

#include "core/quicklook.h"
#include "engine/tile_pictures.h"

namespace terravox {

// The quicklook folder of a run's report: "/r/report.jsonl" gives "/r/report.quicklook".
std::string QuicklookFolderBeside(const std::string& report_path);

// The names of a tile's pictures: NAME.png (hillshade and contour lines), NAME.slope.png.
std::string HillshadePictureName(const std::string& tile);
std::string SlopePictureName(const std::string& tile);

// A tile's pictures made under temporary names in the quicklook folder; removed unless named.
class PendingQuicklook {
 public:
  // Makes the pictures in folder from the tile's outputs (which may still bear temporary names),
  // taking their cells from memory where given.
  static PendingQuicklook Make(const std::string& folder, const engine::TileSources& outputs,
                               const engine::TileCells& cells = {});
  PendingQuicklook(PendingQuicklook&& other) noexcept;
  PendingQuicklook& operator=(PendingQuicklook&&) = delete;
  PendingQuicklook(const PendingQuicklook&) = delete;
  PendingQuicklook& operator=(const PendingQuicklook&) = delete;
  ~PendingQuicklook();

  // Names the pictures for the tile in their folder; their figures and final paths, or none when
  // they could not be made or named.
  std::optional<Quicklook> Commit(const std::string& tile);

 private:
  PendingQuicklook() = default;
  void Discard();

  std::string folder_;
  std::optional<Quicklook> look_;  // paths under temporary names
};

// The pictures of a tile whose outputs are committed: those made ahead when given, else made now
// from the outputs on disk (a missing slope or contour output is left out), the GRID's cells taken
// from memory where given.
std::optional<Quicklook> TileQuicklook(const std::string& folder, const std::string& tile,
                                       const engine::TileSources& outputs, PendingQuicklook* ahead,
                                       const engine::TileCells& cells = {});

}  // namespace terravox
