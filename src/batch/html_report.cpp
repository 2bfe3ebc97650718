// WriteHtmlReport: gathers the tiles, brings their pictures into the page's folder (several tiles
// at once), draws the overview and writes the page.
#include "batch/html_report.h"

#include <tbb/parallel_for.h>

#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "batch/report_page.h"
#include "batch/report_tiles.h"
#include "batch/tile_quicklook.h"
#include "core/paths.h"
#include "core/pending_file.h"
#include "engine/overview_map.h"
#include "engine/tile_pictures.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOverviewName = "overview.png";

enum class PictureSource { kNone, kTaken, kMade };

// The stem of a tile's picture files: its name when that is a safe file name, else the name made
// safe and told apart by the tile's index.
std::string PictureStem(const std::string& name, size_t index) {
  std::string stem = name;
  bool changed = stem.empty();
  for (char& c : stem) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
    if (!safe) {
      c = '_';
      changed = true;
    }
  }
  return changed ? stem + "-" + std::to_string(index) : stem;
}

// True when path is a regular file (not a link) that starts as a PNG does. A report is only a
// claim: what it names may be anything.
bool IsPngFile(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !fs::is_regular_file(fs::symlink_status(path, ec))) return false;
  std::ifstream in(path, std::ios::binary);
  char signature[8] = {};
  in.read(signature, sizeof signature);
  return in && std::string_view(signature, 8) == "\x89PNG\r\n\x1a\n";
}

// Puts the picture at from into the page's folder as to: a link when the file system allows,
// else a copy.
bool TakePicture(const std::string& from, const std::string& to) {
  if (!IsPngFile(from)) return false;
  std::error_code ec;
  if (fs::equivalent(from, to, ec)) return true;
  fs::remove(to, ec);
  fs::create_hard_link(from, to, ec);
  if (!ec) return true;
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) && !ec;
}

bool IsPresent(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(path, ec);
}

// Gives the tile its pictures in folder: the run's, else made from its outputs on disk. A tile
// left without pictures keeps an extent when one is known, to be placed on the map in grey.
PictureSource ResolvePictures(ReportTile& tile, size_t index, const std::string& folder) {
  const std::string stem = PictureStem(tile.name, index);
  const std::string hillshade = JoinPath(folder, HillshadePictureName(stem));
  const std::string slope = JoinPath(folder, SlopePictureName(stem));
  if (tile.quicklook && TakePicture(tile.quicklook->hillshade, hillshade) &&
      (tile.quicklook->slope.empty() || TakePicture(tile.quicklook->slope, slope))) {
    tile.quicklook->hillshade = hillshade;
    if (!tile.quicklook->slope.empty()) tile.quicklook->slope = slope;
    return PictureSource::kTaken;
  }
  // Written anew, never through what the names may be: links into the run's quicklook folder,
  // or links planted in a shared folder.
  std::error_code ec;
  fs::remove(hillshade, ec);
  fs::remove(slope, ec);
  if (IsPresent(tile.grid)) {
    engine::TileSources sources{tile.grid, IsPresent(tile.slope) ? tile.slope : "",
                                IsPresent(tile.contours) ? tile.contours : ""};
    if (Result<Quicklook> made = engine::MakeTilePictures(sources, hillshade, slope); made.ok()) {
      tile.quicklook = std::move(made).value();
      return PictureSource::kMade;
    }
  }
  if (tile.quicklook) {
    tile.quicklook->hillshade.clear();
    tile.quicklook->slope.clear();
    return PictureSource::kNone;
  }
  for (const std::string& raster : {tile.grid, tile.ascii}) {
    if (!IsPresent(raster)) continue;
    if (Result<Quicklook> extent = engine::ReadRasterExtent(raster); extent.ok()) {
      tile.quicklook = std::move(extent).value();
      break;
    }
  }
  return PictureSource::kNone;
}

}  // namespace

std::string PicturesFolderFor(const std::string& html_path) {
  const size_t dot = html_path.rfind('.');
  const size_t separator = html_path.find_last_of("/\\");
  const bool has_extension =
      dot != std::string::npos && (separator == std::string::npos || dot > separator + 1);
  return html_path.substr(0, has_extension ? dot : std::string::npos) + "_files";
}

Result<HtmlReportCounts> WriteHtmlReport(const std::vector<FileRecord>& records, bool finished,
                                         const std::string& html_path) {
  const std::string folder = PicturesFolderFor(html_path);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder, ec)) {
    return Error(ErrorKind::kOther, "Cannot make the picture folder " + folder);
  }

  ReportPageInput page;
  page.finished = finished;
  page.pictures_folder = LastPathPiece(folder);
  page.tiles = GatherTiles(records);
  std::vector<PictureSource> sources(page.tiles.size());
  tbb::parallel_for(size_t{0}, page.tiles.size(),
                    [&](size_t i) { sources[i] = ResolvePictures(page.tiles[i], i, folder); });

  HtmlReportCounts counts;
  counts.tiles = page.tiles.size();
  std::vector<engine::OverviewTile> placed;
  PageOverview overview;
  overview.picture = kOverviewName;
  for (size_t i = 0; i < page.tiles.size(); ++i) {
    counts.pictures_taken += sources[i] == PictureSource::kTaken;
    counts.pictures_made += sources[i] == PictureSource::kMade;
    const std::optional<Quicklook>& look = page.tiles[i].quicklook;
    if (!look) continue;
    placed.push_back({look->west, look->south, look->east, look->north, look->hillshade,
                      page.tiles[i].Failed()});
    overview.tiles.push_back(i);
  }
  counts.placed = placed.size();
  if (!placed.empty()) {
    fs::remove(JoinPath(folder, kOverviewName), ec);
    Result<engine::OverviewLayout> layout =
        engine::WriteOverviewMap(placed, JoinPath(folder, kOverviewName));
    if (!layout.ok()) return layout.error();
    overview.layout = std::move(layout).value();
    page.overview = std::move(overview);
  }

  PendingFile file;
  Status s = file.Create(html_path);
  if (s.ok()) s = file.Write(RenderReportPage(page));
  if (s.ok()) s = file.Commit();
  if (!s.ok())
    return Error(ErrorKind::kOther, "Cannot write " + html_path + ": " + s.description());
  return counts;
}

}  // namespace terravox
