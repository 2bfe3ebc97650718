// GRID folder recognition, the check of the files GDAL's reader opens, and opening through GDAL's
// AIG driver.
#include "engine/grid_folder.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/paths.h"
#include "engine/declared_size.h"
#include "engine/grid_files.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;

// Side files of a GRID's name in its parent folder that GDAL's reader looks for on opening (colour
// table, overviews, masks, auxiliary files), each tried as given, in capitals and in lower case.
constexpr const char* kParentSideExtensions[] = {".clr", ".aux", ".aux.xml", ".ovr", ".msk"};

// An entry that is there but is not a folder (links followed); a link that leads nowhere counts,
// so its GRID fails with a description rather than vanish from the listing.
bool IsPresentFile(const std::string& path) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(path, ec))) return false;
  return !fs::is_directory(fs::status(path, ec));
}

std::string WithCase(std::string text, bool upper) {
  std::transform(text.begin(), text.end(), text.begin(), [upper](char c) {
    if (upper && c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
    if (!upper && c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
    return c;
  });
  return text;
}

// Not OK only when something other than a regular file or a folder is at path (links followed):
// a FIFO, a device or a socket would block GDAL's read forever or feed it endless bytes. What
// cannot be looked at cannot be opened either, and GDAL then says so itself.
Status CheckNotPipeOrDevice(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  switch (status.type()) {
    case fs::file_type::none:
    case fs::file_type::not_found:
    case fs::file_type::regular:
    case fs::file_type::directory:
      return Status::Ok();
    default:
      return EngineError("'" + path.string() + "' is not a regular file, so the GRID is not read");
  }
}

// Not OK when a file the reader opens is a link that cannot be followed (a loop, or a link to
// nothing): the reader would only say that the folder is no GRID.
Status CheckComponentLinks(const std::string& grid) {
  for (std::string_view name : kGridComponentFiles) {
    const std::string path = GridFilePath(grid, name);
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) continue;
    const fs::file_status target = fs::status(path, ec);
    if (!ec && fs::exists(target)) continue;
    std::string text = "'";
    text.append(path).append("' is a link that cannot be followed (");
    text.append(ec ? ec.message()
                   : std::make_error_code(std::errc::no_such_file_or_directory).message());
    text.append("), so the GRID is not read");
    return EngineError(std::move(text));
  }
  return Status::Ok();
}

// The same for every entry of folder; sub-folders are not looked into, and a folder that cannot be
// listed is left to GDAL.
Status CheckFolderEntries(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    if (Status s = CheckNotPipeOrDevice(it->path()); !s.ok()) return s;
  }
  return Status::Ok();
}

}  // namespace

bool IsGridFolder(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !fs::is_directory(path, ec)) return false;
  // Any kind of file counts here: one that is no regular file makes the raster fail on reading,
  // with a description, rather than vanish from the listing.
  return IsPresentFile(GridFilePath(path, "hdr.adf")) &&
         IsPresentFile(GridFilePath(path, "w001001.adf"));
}

Status CheckGridFilesAreRegular(const std::string& path) {
  const fs::path grid(path);
  if (Status s = CheckComponentLinks(path); !s.ok()) return s;
  if (Status s = CheckFolderEntries(grid); !s.ok()) return s;
  const fs::path parent = grid.parent_path();
  const std::string name = grid.filename().string();
  for (const char* extension : kParentSideExtensions) {
    const std::string side = name + extension;
    for (const std::string& variant : {side, WithCase(side, true), WithCase(side, false)}) {
      if (Status s = CheckNotPipeOrDevice(parent / variant); !s.ok()) return s;
    }
  }
  // The reader also looks up the grid's tables in the folder's INFO workspace.
  const fs::path info = parent / "info";
  if (Status s = CheckNotPipeOrDevice(info); !s.ok()) return s;
  return CheckFolderEntries(info);
}

Result<GDALDatasetUniquePtr> OpenGridRaster(const std::string& path) {
  EnsureGdalRegistered();
  if (IsGdalVirtualPath(path)) {
    return EngineError("'" + path + "' names no folder on disk, so it is not read as a GRID");
  }
  if (Status s = CheckGridFilesAreRegular(path); !s.ok()) return s.error();
  const char* const allowed_drivers[] = {"AIG", nullptr};
  GDALDatasetUniquePtr dataset(GDALDataset::Open(
      path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, allowed_drivers));
  if (!dataset) return GdalErrorScope::LastError("'" + path + "' is not a GRID raster");
  if (dataset->GetRasterCount() < 1) {
    return Error(ErrorKind::kEngine, "'" + path + "' holds no raster band");
  }
  // Opening reads only the small files; the cells they claim are checked before anyone reads.
  int block_width = 0;
  int block_height = 0;
  dataset->GetRasterBand(1)->GetBlockSize(&block_width, &block_height);
  const int64_t backed = TileIndexEntries(path) * int64_t{block_width} * block_height;
  if (Status s = CheckDeclaredSizeBacked(path, dataset->GetRasterXSize(), dataset->GetRasterYSize(),
                                         backed);
      !s.ok()) {
    return s.error();
  }
  return dataset;
}

}  // namespace terravox::engine
