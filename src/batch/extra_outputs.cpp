// The COG and GeoPackage outputs of a run: paths, the check before the run, and the hand-over of
// each finished tile to the engine's writers.
#include "batch/extra_outputs.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/leftover_sweep.h"
#include "core/owner_lock.h"
#include "core/paths.h"
#include "core/temporary_name.h"

namespace terravox {
namespace {

// The folder of a file's path, its separator included; "./" for a bare name.
std::string FolderOf(const std::string& path) {
  const std::string folder = path.substr(0, path.size() - LastPathPiece(path).size());
  return folder.empty() ? "./" : folder;
}

Status CheckFolder(const std::string& folder, const std::string& what) {
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return Status::Ok();
  return Error(ErrorKind::kPathNotFound, "The folder " + what + " does not exist: " + folder);
}

}  // namespace

Status CheckExtraOutputs(const RunOptions& options) {
  if (!options.cog_dir.empty()) {
    if (Status s = CheckFolder(options.cog_dir, "for the COGs"); !s.ok()) return s;
  }
  if (!options.contour_gpkg.empty()) {
    if (Status s = CheckFolder(FolderOf(options.contour_gpkg), "of the contour GeoPackage");
        !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

Status PrepareExtraOutputs(const RunOptions& options) {
  if (Status s = CheckExtraOutputs(options); !s.ok()) return s;
  if (!options.cog_dir.empty()) RemoveDeadTemporaries(options.cog_dir);
  if (!options.contour_gpkg.empty()) RemoveDeadTemporaries(FolderOf(options.contour_gpkg));
  return Status::Ok();
}

int CogThreads(const RunOptions& options, unsigned cores) {
  // More than four gain little on a tile of a few hundred blocks and crowd the machine.
  constexpr int kMostThreads = 4;
  if (options.threads_per_file > 0) return std::min(options.threads_per_file, kMostThreads);
  const int all = static_cast<int>(std::min(cores, 64U));
  const int jobs = options.jobs > 0 ? options.jobs : all;
  return std::clamp(all - jobs + 1, 1, kMostThreads);
}

std::string CogOutputs::PathFor(const std::string& name) const {
  return JoinPath(folder_, name + suffix_ + ".tif");
}

std::vector<std::string> CogOutputs::With(std::vector<std::string> outputs,
                                          const std::string& name) const {
  if (enabled()) outputs.push_back(PathFor(name));
  return outputs;
}

PreparedCog CogOutputs::Prepare(const std::string& grid_path, const std::string& name,
                                const std::shared_ptr<const engine::HeldGrid>& held) const {
  if (!enabled()) return std::nullopt;
  return engine::WriteCog(grid_path, PathFor(name), held, threads_);
}

PreparedCog CogOutputs::Prepare(const engine::Raster& raster, const std::string& name) const {
  if (!enabled()) return std::nullopt;
  return engine::WriteCog(raster, PathFor(name), threads_);
}

Status CogOutputs::Commit(PreparedCog prepared) {
  if (!prepared) return Status::Ok();
  if (!prepared->ok()) return prepared->error();
  return (*prepared)->Commit();
}

Result<ContourPackage> ContourPackage::Open(const RunOptions& options, bool run_contour) {
  ContourPackage package;
  if (options.contour_gpkg.empty() || !run_contour) return package;
  Result<engine::ContourGeoPackage> opened =
      engine::ContourGeoPackage::Open(options.contour_gpkg, /*keep=*/options.resume);
  if (!opened.ok()) return opened.error();
  package.package_.emplace(std::move(opened).value());
  return package;
}

bool ContourPackage::Holds(const std::string& name) {
  if (!package_) return true;
  Result<bool> held = package_->HasTile(name);
  // A tile that cannot be looked up is made again: replacing it is always right.
  return held.ok() && *held;
}

Status ContourPackage::Add(const std::string& name, const std::string& shp_path) {
  return package_ ? package_->ReplaceTile(name, shp_path) : Status::Ok();
}

Status ContourPackage::Close() {
  if (!package_) return Status::Ok();
  Status closed = package_->Close();
  package_.reset();
  return closed;
}

Status MergeContourPackages(const std::string& output, const std::vector<std::string>& inputs) {
  const std::string folder = FolderOf(output);
  if (Status s = CheckFolder(folder, "of the merged GeoPackage"); !s.ok()) return s;
  RemoveDeadTemporaries(folder);
  // Built beside the output and renamed when whole; output may be one of the inputs.
  // Held until the temporary is renamed or removed: a sweep of another run leaves it.
  const std::shared_ptr<const void> owner_lock = HoldOwnerLock(folder.empty() ? "." : folder);
  const std::string temp = folder + NewTemporaryStem() + ".gpkg";
  Result<engine::ContourGeoPackage> merged = engine::ContourGeoPackage::Open(temp, false);
  if (!merged.ok()) return merged.error();
  Status status = merged->MergeFrom(inputs);
  if (Status closed = merged->Close(); status.ok()) status = closed;
  if (status.ok() && ::rename(temp.c_str(), output.c_str()) != 0) {
    status = Error::FromErrno(errno);
  }
  if (!status.ok()) ::unlink(temp.c_str());
  return status;
}

}  // namespace terravox
