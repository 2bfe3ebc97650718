// Shapefile files: names, lookups and deletions on std::filesystem.
#include "engine/shapefile_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/file_entry.h"
#include "core/paths.h"
#include "core/temporary_name.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;

// ".shp" last: the name being renamed to becomes a Shapefile only when its other files are there.
void PutShpLast(std::vector<std::string>& suffixes) {
  std::stable_partition(suffixes.begin(), suffixes.end(),
                        [](const std::string& suffix) { return suffix != ".shp"; });
}

}  // namespace

Result<std::string> FreshShapefileName(const std::string& folder) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = NewTemporaryStem();
    if (KnownShapefileSuffixes(JoinPath(folder, name)).empty()) return name;
  }
  return EngineError("No free temporary Shapefile name in " + folder);
}

std::optional<std::string_view> ExistingMainFile(const std::string& base_path) {
  for (std::string_view extension : kShapefileMainExtensions) {
    if (EntryExists(base_path + std::string(extension))) return extension;
  }
  return std::nullopt;
}

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
  PutShpLast(suffixes);
  return suffixes;
}

std::vector<std::string> KnownShapefileSuffixes(const std::string& base_path) {
  std::vector<std::string> suffixes;
  auto add_existing = [&](const auto& extensions) {
    for (std::string_view extension : extensions) {
      if (EntryExists(base_path + std::string(extension))) suffixes.emplace_back(extension);
    }
  };
  add_existing(kShapefileMainExtensions);
  add_existing(kShapefileCompanionExtensions);
  PutShpLast(suffixes);
  return suffixes;
}

Status RemoveShapefileFiles(const std::string& folder, const std::string& base) {
  Result<std::vector<std::string>> suffixes = ShapefileSuffixes(folder, base);
  if (!suffixes.ok()) return suffixes.error();
  const std::string base_path = JoinPath(folder, base);
  Status first_failure;
  for (const std::string& suffix : *suffixes) {
    std::error_code ec;
    fs::remove(base_path + suffix, ec);
    if (ec && first_failure.ok()) first_failure = Error::FromErrno(ec.value());
  }
  return first_failure;
}

Status DeleteOldShapefile(const std::string& base_path) {
  for (std::string_view extension : kOldShapefileExtensions) {
    Status s = DeleteOldFile(base_path + std::string(extension), LookupFailure::kFails);
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

}  // namespace terravox::engine
