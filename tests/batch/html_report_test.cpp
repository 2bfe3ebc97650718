// The report page and its pictures: failed tiles on the overview and in the table, and where
// each tile's pictures come from.
#include "batch/html_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "engine/gis_test_util.h"
#include "engine/picture_readback.h"
#include "engine/tile_pictures.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ReadPicture;

class HtmlReportTest : public testing::TempDirTest {
 protected:
  // A 100 x 100 GRID of 1 m cells with its west edge at west, south edge at 0.
  std::string Grid(const std::string& name, double west) {
    engine::GridGeometry geometry = testing::SurfaceGeometry(100, 100, 1, 1);
    geometry.west = west;
    geometry.south = 0;
    const std::string path = PathIn(name);
    testing::MakePlaneGrid(path, geometry, 0.2, 0.1);
    return path;
  }

  // The pixel box of the tile's link on the overview, as the page gives it.
  static std::array<int, 4> MapBox(const std::string& html, int tile) {
    std::smatch m;
    const std::regex box("id=\"map-" + std::to_string(tile) +
                         "\" x=\"(\\d+)\" y=\"(\\d+)\" width=\"(\\d+)\" height=\"(\\d+)\"");
    if (!std::regex_search(html, m, box)) return {};
    return {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4])};
  }
};

TEST_F(HtmlReportTest, FailedTilesAreOutlinedInRedAndTheirFailuresListed) {
  const std::string a = Grid("a", 0);
  const std::string b = Grid("b", 100);
  // c never became a GRID: its ASCII grid places it, in grey.
  const std::string c = PathIn("c.asc");
  testing::WriteFile(c, "ncols 2\nnrows 2\nxllcorner 200\nyllcorner 0\ncellsize 50\n1 2\n3 4\n");
  const std::vector<FileRecord> records = {
      {.step = kStepContours, .input = a, .output = a + "-none.shp"},
      {.step = kStepContours,
       .input = b,
       .outcome = FileOutcome::kFailed,
       .error = "interval <0> gives \"too many\" levels & more"},
      {.step = kStepAscii2Grid, .input = c, .outcome = FileOutcome::kFailed, .error = "bad cell"},
      {.step = kStepXyz2Ascii,
       .input = "/in/x<&>\"'.xyz",
       .outcome = FileOutcome::kFailed,
       .error = "line 3 <b>"},
  };
  const std::string page = PathIn("out/survey.html");
  Result<HtmlReportCounts> counts = WriteHtmlReport(records, false, page);
  ASSERT_TRUE(counts.ok()) << counts.error().description();
  EXPECT_EQ(counts->placed, 3u);

  const std::string html = ReadFile(page);
  EXPECT_NE(html.find("contours: interval &lt;0&gt; gives &quot;too many&quot; levels &amp; more"),
            std::string::npos);
  EXPECT_NE(html.find("ascii2grid: bad cell"), std::string::npos);
  EXPECT_NE(html.find(">x&lt;&amp;&gt;&quot;&#39;</a>"), std::string::npos);
  EXPECT_NE(html.find("xyz2ascii: line 3 &lt;b&gt;"), std::string::npos);
  EXPECT_EQ(html.find("<b>"), std::string::npos) << "a text from the report is markup";

  const testing::PictureReadBack map = ReadPicture(PathIn("out/survey_files/overview.png"));
  ASSERT_GT(map.width, 0);
  auto red = [&](int x, int y) {
    const auto [r, g, bl, al] = map.At(x, y);
    return r > 200 && g < 40 && bl < 40;
  };
  struct Expected {
    int tile;
    bool failed;
    bool grey;
  };
  for (const Expected& e : {Expected{0, false, false}, {1, true, false}, {2, true, true}}) {
    SCOPED_TRACE(e.tile);
    const auto [x, y, w, h] = MapBox(html, e.tile);
    ASSERT_GT(w, 8);
    for (const auto& [px, py] : {std::pair{x, y + h / 2},
                                 {x + w - 1, y + h / 2},
                                 {x + w / 2, y},
                                 {x + w / 2, y + h - 1}}) {
      EXPECT_EQ(red(px, py), e.failed) << px << "," << py;
    }
    EXPECT_FALSE(red(x + w / 2, y + h / 2));
    EXPECT_EQ(map.At(x + w / 2, y + h / 2)[0] == 170, e.grey);
  }
}

TEST_F(HtmlReportTest, RunPicturesAreTakenAndMissingOrFalseOnesMadeFromTheOutputs) {
  const std::string grid = Grid("t", 0);
  fs::create_directories(PathIn("run"));
  Result<Quicklook> run_pictures =
      engine::MakeTilePictures({grid, "", ""}, PathIn("run/t.png"), "");
  ASSERT_TRUE(run_pictures.ok());
  Quicklook not_png = *run_pictures;
  not_png.hillshade = PathIn("run/notes.png");
  testing::WriteFile(not_png.hillshade, "not a picture");
  struct Row {
    const char* name;
    std::optional<Quicklook> recorded;
    bool taken;
  };
  const Row rows[] = {{"the run's pictures", run_pictures.value(), true},
                      {"no pictures recorded", std::nullopt, false},
                      {"a recorded picture that is no PNG", not_png, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string page = PathIn(std::string(row.name) + ".html");
    FileRecord record{.step = kStepContours, .input = grid};
    record.quicklook = row.recorded;
    Result<HtmlReportCounts> counts = WriteHtmlReport({record}, true, page);
    ASSERT_TRUE(counts.ok()) << counts.error().description();
    EXPECT_EQ(counts->pictures_taken, row.taken ? 1u : 0u);
    EXPECT_EQ(counts->pictures_made, row.taken ? 0u : 1u);
    const std::string picture = PicturesFolderFor(page) + "/t.png";
    EXPECT_EQ(ReadPicture(picture).width, 128);
    if (row.taken) {
      EXPECT_EQ(ReadFile(picture), ReadFile(PathIn("run/t.png")));
    }
  }
}

TEST_F(HtmlReportTest, PicturesAreNeverWrittenThroughALinkInTheirFolder) {
  const std::string grid = Grid("t", 0);
  const std::string outside = PathIn("outside.txt");
  testing::WriteFile(outside, "keep me");
  const std::string page = PathIn("p.html");
  fs::create_directories(PicturesFolderFor(page));
  for (const char* name : {"t.png", "overview.png"}) {
    fs::create_symlink(outside, PicturesFolderFor(page) + "/" + name);
  }
  ASSERT_TRUE(WriteHtmlReport({{.step = kStepContours, .input = grid}}, true, page).ok());
  EXPECT_EQ(ReadFile(outside), "keep me");
  for (const char* name : {"t.png", "overview.png"}) {
    EXPECT_FALSE(fs::is_symlink(PicturesFolderFor(page) + "/" + name)) << name;
  }
}

}  // namespace
}  // namespace terravox
