// Tile pictures made ahead under temporary names and named in order, or made in the walk.
#include "batch/tile_quicklook.h"

#include <filesystem>
#include <system_error>

#include "core/paths.h"
#include "core/temporary_name.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(path, ec);
}

void RemoveQuietly(const std::string& path) {
  std::error_code ec;
  if (!path.empty()) fs::remove(path, ec);
}

// Names the picture at from as to; false when it cannot.
bool NamePicture(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  return !ec;
}

}  // namespace

std::string QuicklookFolderBeside(const std::string& report_path) {
  const size_t dot = report_path.rfind('.');
  const size_t separator = report_path.find_last_of("/\\");
  const bool has_extension =
      dot != std::string::npos && (separator == std::string::npos || dot > separator + 1);
  return report_path.substr(0, has_extension ? dot : std::string::npos) + ".quicklook";
}

std::string HillshadePictureName(const std::string& tile) { return tile + ".png"; }
std::string SlopePictureName(const std::string& tile) { return tile + ".slope.png"; }

PendingQuicklook PendingQuicklook::Make(const std::string& folder,
                                        const engine::TileSources& outputs,
                                        const engine::TileCells& cells) {
  PendingQuicklook pending;
  pending.folder_ = folder;
  const std::string stem = JoinPath(folder, NewTemporaryStem());
  const std::string hillshade = stem + ".png";
  const std::string slope = stem + ".slope.png";
  Result<Quicklook> made = engine::MakeTilePictures(outputs, hillshade, slope, cells);
  if (made.ok()) {
    pending.look_ = std::move(made).value();
  } else {
    RemoveQuietly(hillshade);
    RemoveQuietly(slope);
  }
  return pending;
}

PendingQuicklook::PendingQuicklook(PendingQuicklook&& other) noexcept
    : folder_(std::move(other.folder_)), look_(std::move(other.look_)) {
  other.look_.reset();
}

PendingQuicklook::~PendingQuicklook() { Discard(); }

void PendingQuicklook::Discard() {
  if (!look_) return;
  RemoveQuietly(look_->hillshade);
  RemoveQuietly(look_->slope);
  look_.reset();
}

std::optional<Quicklook> PendingQuicklook::Commit(const std::string& tile) {
  if (!look_) return std::nullopt;
  Quicklook named = *look_;
  named.hillshade = JoinPath(folder_, HillshadePictureName(tile));
  named.slope = look_->slope.empty() ? "" : JoinPath(folder_, SlopePictureName(tile));
  if (!NamePicture(look_->hillshade, named.hillshade) ||
      (!named.slope.empty() && !NamePicture(look_->slope, named.slope))) {
    Discard();
    return std::nullopt;
  }
  look_.reset();
  return named;
}

std::optional<Quicklook> TileQuicklook(const std::string& folder, const std::string& tile,
                                       const engine::TileSources& outputs, PendingQuicklook* ahead,
                                       const engine::TileCells& cells) {
  if (ahead != nullptr) return ahead->Commit(tile);
  engine::TileSources on_disk = outputs;
  if (!Exists(on_disk.slope)) on_disk.slope.clear();
  if (!Exists(on_disk.contours)) on_disk.contours.clear();
  return PendingQuicklook::Make(folder, on_disk, cells).Commit(tile);
}

}  // namespace terravox
