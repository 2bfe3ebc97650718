// GatherTiles: a tile's records across steps and across a run and the run resuming it.
#include "batch/report_tiles.h"

#include <gtest/gtest.h>

namespace terravox {
namespace {

TEST(ReportTilesTest, LaterRecordsOfATileReplaceEarlierOnes) {
  const Quicklook pictures{.hillshade = "/q/a.png", .west = 0, .east = 1, .north = 1};
  auto record = [&](const char* step, const char* input, FileOutcome outcome, bool pictured) {
    FileRecord r{.step = step, .input = input, .outcome = outcome};
    if (pictured) r.quicklook = pictures;
    return r;
  };
  const FileOutcome ok = FileOutcome::kOk;
  struct Row {
    const char* name;
    std::vector<FileRecord> records;
    bool failed;
    bool pictured;
  };
  const Row rows[] = {
      {"every step of one tile, by its base name",
       {record(kStepXyz2Ascii, "/x/a.xyz", ok, false),
        record(kStepAscii2Grid, "/s/a.asc", ok, false), record(kStepSlope, "/g/a", ok, false),
        record(kStepContours, "/g/a", ok, true)},
       false,
       true},
      {"a failure mended by the resumed run",
       {record(kStepContours, "/g/a", FileOutcome::kFailed, false),
        record(kStepContours, "/g/a", ok, true)},
       false,
       true},
      {"skipped on resume: the earlier pictures stay",
       {record(kStepContours, "/g/a", ok, true),
        record(kStepSlope, "/g/a", FileOutcome::kSkipped, false),
        record(kStepContours, "/g/a", FileOutcome::kSkipped, false)},
       false,
       true},
      {"redone without pictures: the earlier ones are stale",
       {record(kStepContours, "/g/a", ok, true), record(kStepSlope, "/g/a", ok, false)},
       false,
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<ReportTile> tiles = GatherTiles(row.records);
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0].name, "a");
    EXPECT_EQ(tiles[0].Failed(), row.failed);
    EXPECT_EQ(tiles[0].quicklook.has_value(), row.pictured);
  }
}

}  // namespace
}  // namespace terravox
