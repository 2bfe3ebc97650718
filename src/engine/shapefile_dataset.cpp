// Contour Shapefiles on disk: their path, and renaming or removing all of their files at once.
#include "engine/shapefile_dataset.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "core/paths.h"
#include "engine/shapefile_files.h"

namespace terravox::engine {

namespace fs = std::filesystem;

std::string ShapefileDataset::GetDatasetPath() const { return JoinPath(folder_, name_); }

Status ShapefileDataset::SetDatasetName(const std::string& name) {
  if (!IsPlainName(name)) {
    return Error(ErrorKind::kEngine, "'" + name + "' is not a valid Shapefile name");
  }
  if (name == name_) return Status::Ok();
  const std::string old_base = GetDatasetPath();
  const std::string new_base = JoinPath(folder_, name);

  Result<std::vector<std::string>> suffixes = suffixes_.empty()
                                                  ? ShapefileSuffixes(folder_, name_)
                                                  : Result<std::vector<std::string>>(suffixes_);
  if (!suffixes.ok()) return suffixes.error();
  if (std::find(suffixes->begin(), suffixes->end(), ".shp") == suffixes->end()) {
    return Error(ErrorKind::kFileNotFound, "File not found: " + old_base + ".shp");
  }
  if (std::optional<std::string_view> taken = ExistingMainFile(new_base)) {
    std::string text = "A Shapefile named " + name;
    text.append(" already exists in ").append(folder_).append(" (").append(name);
    text.append(*taken).append(")");
    return EngineError(std::move(text));
  }
  // Stale companions this Shapefile has are replaced by the rename itself; the others go now.
  for (std::string_view extension : kShapefileCompanionExtensions) {
    if (std::find(suffixes->begin(), suffixes->end(), extension) != suffixes->end()) continue;
    std::error_code ec;
    fs::remove(new_base + std::string(extension), ec);
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
  owner_lock_.reset();
  return Status::Ok();
}

Status ShapefileDataset::RemoveDataset() const { return RemoveShapefileFiles(folder_, name_); }

}  // namespace terravox::engine
