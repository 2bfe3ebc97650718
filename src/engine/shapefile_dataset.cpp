// Contour Shapefiles on disk: their path, and renaming or removing all of their files at once.
#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/paths.h"
#include "engine/shapefile_dataset.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;

// The files that make a Shapefile: another Shapefile of these is never overwritten.
constexpr std::array<const char*, 3> kMainExtensions = {".shp", ".shx", ".dbf"};
// Companions that describe the main files. One left from an older Shapefile of the target name
// would lie about the new one (another coordinate system, code page or spatial index), so they
// go. .qix is GDAL's spatial index: a stale one makes readers skip features.
constexpr std::array<const char*, 5> kStaleCompanions = {".prj", ".cpg", ".sbn", ".sbx", ".qix"};

bool EntryExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// The suffixes (".shp", ".shp.xml", ...) of the files named base + "." + anything in folder,
// ".shp" last so that the new name becomes a Shapefile only when its other files are there.
Result<std::vector<std::string>> ShapefileSuffixes(const std::string& folder,
                                                   const std::string& base) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return Error(ErrorKind::kPathNotFound, "Path not found: " + folder);
  std::vector<std::string> suffixes;
  const std::string prefix = base + ".";
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return Error::FromErrno(ec.value());
    std::string file = it->path().filename().string();
    if (file.size() <= prefix.size() || file.compare(0, prefix.size(), prefix) != 0) continue;
    if (it->is_directory(ec)) continue;
    suffixes.push_back(file.substr(base.size()));
  }
  std::stable_partition(suffixes.begin(), suffixes.end(),
                        [](const std::string& suffix) { return suffix != ".shp"; });
  return suffixes;
}

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find(kPathSeparator) == std::string::npos && name.find('/') == std::string::npos;
}

}  // namespace

std::string ShapefileDataset::GetDatasetPath() const { return JoinPath(folder_, name_); }

Status ShapefileDataset::SetDatasetName(const std::string& name) {
  if (!IsPlainName(name)) {
    return Error(ErrorKind::kEngine, "'" + name + "' is not a valid Shapefile name");
  }
  if (name == name_) return Status::Ok();
  const std::string old_base = GetDatasetPath();
  const std::string new_base = JoinPath(folder_, name);

  Result<std::vector<std::string>> suffixes = ShapefileSuffixes(folder_, name_);
  if (!suffixes.ok()) return suffixes.error();
  if (std::find(suffixes->begin(), suffixes->end(), ".shp") == suffixes->end()) {
    return Error(ErrorKind::kFileNotFound, "File not found: " + old_base + ".shp");
  }
  for (const char* extension : kMainExtensions) {
    if (EntryExists(new_base + extension)) {
      std::string text = "A Shapefile named " + name;
      text.append(" already exists in ").append(folder_).append(" (").append(name);
      text.append(extension).append(")");
      return EngineError(std::move(text));
    }
  }
  // Stale companions this Shapefile has are replaced by the rename itself; the others go now.
  for (const char* extension : kStaleCompanions) {
    if (std::find(suffixes->begin(), suffixes->end(), extension) != suffixes->end()) continue;
    std::error_code ec;
    fs::remove(new_base + extension, ec);
    if (ec) return Error::FromErrno(ec.value());
  }

  for (size_t i = 0; i < suffixes->size(); ++i) {
    std::error_code ec;
    fs::rename(old_base + (*suffixes)[i], new_base + (*suffixes)[i], ec);
    if (!ec) continue;
    // Put back what was renamed: the Shapefile stays whole under its old name.
    for (size_t j = 0; j < i; ++j) {
      std::error_code ignored;
      fs::rename(new_base + (*suffixes)[j], old_base + (*suffixes)[j], ignored);
    }
    return Error::FromErrno(ec.value());
  }
  name_ = name;
  return Status::Ok();
}

Status ShapefileDataset::RemoveDataset() const {
  Result<std::vector<std::string>> suffixes = ShapefileSuffixes(folder_, name_);
  if (!suffixes.ok()) return suffixes.error();
  const std::string base = GetDatasetPath();
  Status first_failure;
  for (const std::string& suffix : *suffixes) {
    std::error_code ec;
    fs::remove(base + suffix, ec);
    if (ec && first_failure.ok()) first_failure = Error::FromErrno(ec.value());
  }
  return first_failure;
}

}  // namespace terravox::engine
