// The tiles of a run's report: its records grouped by tile, each step's latest record, and where
// the tile's GRID, slope and contours lie, for the report page.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/file_record.h"

namespace terravox {

// The steps of a run in their order, as the report names them.
inline constexpr std::array<const char*, 4> kReportSteps = {kStepXyz2Ascii, kStepAscii2Grid,
                                                            kStepSlope, kStepContours};

struct ReportTile {
  std::string name;
  // The latest record of each of kReportSteps; none when the step did not reach the tile.
  std::array<std::optional<FileRecord>, kReportSteps.size()> steps{};
  std::string ascii;     // the tile's ASCII grid; empty when no record names it
  std::string grid;      // its GRID
  std::string slope;     // its slope GRID, when made or kept
  std::string contours;  // its contour Shapefile, when made or kept
  // Its pictures and figures: the run's, or, once the page is made, the page's own.
  std::optional<Quicklook> quicklook;

  bool Failed() const;
  // The failure texts of its failed steps, one line each.
  std::string Failure() const;
  // Seconds over every step's latest record.
  double Seconds() const;
  int64_t Points() const;  // -1 when not known
  int64_t Cells() const;
};

// The tiles of the records in name order. A tile is the base name of each record's input
// ("a.xyz", "a.asc" and GRID "a" are tile "a"); a later record of a step replaces an earlier one,
// as a resumed run's records replace those of the run it resumed. Records of unknown steps are
// left out.
std::vector<ReportTile> GatherTiles(const std::vector<FileRecord>& records);

}  // namespace terravox
