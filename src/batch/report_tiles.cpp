// GatherTiles: records grouped by the base name of their input.
#include "batch/report_tiles.h"

#include <algorithm>
#include <map>

#include "core/folder_listing.h"
#include "core/paths.h"

namespace terravox {
namespace {

int StepIndex(const std::string& step) {
  for (size_t i = 0; i < kReportSteps.size(); ++i) {
    if (step == kReportSteps[i]) return static_cast<int>(i);
  }
  return -1;
}

bool Kept(const FileRecord& record) { return record.outcome != FileOutcome::kFailed; }

}  // namespace

bool ReportTile::Failed() const {
  return std::any_of(steps.begin(), steps.end(), [](const std::optional<FileRecord>& record) {
    return record && record->outcome == FileOutcome::kFailed;
  });
}

std::string ReportTile::Failure() const {
  std::string text;
  for (const std::optional<FileRecord>& record : steps) {
    if (!record || record->outcome != FileOutcome::kFailed) continue;
    if (!text.empty()) text += '\n';
    text += record->step + ": " + record->error;
  }
  return text;
}

double ReportTile::Seconds() const {
  double seconds = 0;
  for (const std::optional<FileRecord>& record : steps) {
    if (record) seconds += record->seconds;
  }
  return seconds;
}

int64_t ReportTile::Points() const {
  const std::optional<FileRecord>& xyz = steps[0];
  return xyz ? xyz->points : -1;
}

int64_t ReportTile::Cells() const {
  for (const std::optional<FileRecord>& record : steps) {
    if (record && record->cells >= 0) return record->cells;
  }
  return -1;
}

std::vector<ReportTile> GatherTiles(const std::vector<FileRecord>& records) {
  std::map<std::string, ReportTile> by_name;
  for (const FileRecord& record : records) {
    const int step = StepIndex(record.step);
    if (step < 0) continue;
    const std::string name = BaseName(LastPathPiece(record.input));
    ReportTile& tile = by_name[name];
    tile.name = name;
    tile.steps[static_cast<size_t>(step)] = record;
    if (record.step == kStepXyz2Ascii) {
      tile.ascii = record.output;
    } else if (record.step == kStepAscii2Grid) {
      tile.ascii = record.input;
      tile.grid = record.output;
    } else {
      tile.grid = record.input;
      std::string& output = record.step == kStepSlope ? tile.slope : tile.contours;
      output = Kept(record) ? record.output : "";
      // The latest pictures belong to the latest walk over the tile; an older run's are stale.
      if (record.quicklook || record.outcome != FileOutcome::kSkipped) {
        tile.quicklook = record.quicklook;
      }
    }
  }
  std::vector<ReportTile> tiles;
  tiles.reserve(by_name.size());
  for (auto& [name, tile] : by_name) tiles.push_back(std::move(tile));
  std::stable_sort(tiles.begin(), tiles.end(), [](const ReportTile& a, const ReportTile& b) {
    return FileNameLess(a.name, b.name);
  });
  return tiles;
}

}  // namespace terravox
