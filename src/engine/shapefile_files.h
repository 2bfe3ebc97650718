// The files of an ESRI Shapefile: the extensions that make one, temporary Shapefile names, and
// finding, listing and deleting the files of one name. The one place that knows them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"

namespace terravox::engine {

// The files that make a Shapefile: another Shapefile of these is never overwritten.
inline constexpr std::array<std::string_view, 3> kShapefileMainExtensions = {".shp", ".shx",
                                                                             ".dbf"};
// Companions that describe the main files. One left from an older Shapefile of a name would lie
// about a new one (another coordinate system, code page or spatial index). .qix is GDAL's
// spatial index: a stale one makes readers skip features.
inline constexpr std::array<std::string_view, 5> kShapefileCompanionExtensions = {
    ".prj", ".cpg", ".sbn", ".sbx", ".qix"};
// The files of an earlier run's Shapefile that a new one of its name replaces, in the order
// they are deleted; other companions stay.
inline constexpr std::array<std::string_view, 5> kOldShapefileExtensions = {".shp", ".shx", ".dbf",
                                                                            ".sbn", ".sbx"};

// A temporary name (core/temporary_name.h) that no Shapefile file in folder bears yet.
Result<std::string> FreshShapefileName(const std::string& folder);

// The first main extension (.shp, .shx, .dbf) that a file base_path + extension has; none when
// none exists.
std::optional<std::string_view> ExistingMainFile(const std::string& base_path);

// The suffixes (".shp", ".shp.xml", ...) of the files named base + "." + anything in folder,
// ".shp" last so that a name being renamed to becomes a Shapefile only when its other files are
// there. "Path not found" when the folder cannot be read.
Result<std::vector<std::string>> ShapefileSuffixes(const std::string& folder,
                                                   const std::string& base);

// The main and companion extensions that files base_path + extension have, ordered as
// ShapefileSuffixes orders them: looked up one by one, without listing the folder. GDAL writes
// no other files for a Shapefile it creates.
std::vector<std::string> KnownShapefileSuffixes(const std::string& base_path);

// Deletes every file named base + "." + anything in folder; the first failure, after trying all.
Status RemoveShapefileFiles(const std::string& folder, const std::string& base);

// Deletes the old Shapefile at base_path (a path without extension): each of
// kOldShapefileExtensions, in order, when a lookup finds it as a plain file (DeleteOldFile). The
// first failure ends the deleting and is returned.
Status DeleteOldShapefile(const std::string& base_path);

}  // namespace terravox::engine
