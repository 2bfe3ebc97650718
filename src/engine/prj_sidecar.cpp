// ReadPrjSidecar: finds the sidecar by name, reads it whole (it is small) and imports it through
// OGR's ESRI reader, as GDAL's ASCII grid reader did.
#include "engine/prj_sidecar.h"

#include <cpl_string.h>
#include <fcntl.h>
#include <ogr_spatialref.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>

#include "core/file_entry.h"
#include "core/paths.h"
#include "core/unique_fd.h"
#include "engine/gdal_scope.h"
#include "engine/raster_geometry.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;

// A coordinate system is a few kilobytes; anything far larger is no sidecar.
constexpr size_t kMaxPrjSize = size_t{1} << 20;

// ".prj" in each of its eight cases, ".prj" and ".PRJ" first: the rest are found by asking for
// each name rather than by listing the folder, which in a folder of thousands of grids would make
// a run's lookups grow with the square of its files.
constexpr std::array<const char*, 8> kPrjCases = {".prj", ".PRJ", ".Prj", ".pRj",
                                                  ".prJ", ".PRj", ".PrJ", ".pRJ"};

// The sidecar's name for one stem: ".prj", then ".PRJ", then any other case in name order.
std::optional<std::string> FindSidecar(const fs::path& folder, const std::string& stem,
                                       const std::string& grid_name) {
  std::error_code ec;
  for (const char* ext : {kPrjCases[0], kPrjCases[1]}) {
    std::string name = stem + ext;
    if (name != grid_name && fs::exists(folder / name, ec)) return name;
  }
  std::optional<std::string> first;
  for (size_t i = 2; i < kPrjCases.size(); ++i) {
    std::string name = stem + kPrjCases[i];
    // Any kind of entry counts, as a listing would show it: one that is no file fails on reading.
    if (name == grid_name || !EntryExists((folder / name).string())) continue;
    if (!first || name < *first) first = std::move(name);
  }
  return first;
}

Result<std::string> ReadSmallFile(const std::string& path) {
  // Non-blocking, so a FIFO cannot hang the open; only a regular file is read.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) return Error::FromErrno(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return Error::FromErrno(errno);
  if (!S_ISREG(st.st_mode)) {
    return Error(ErrorKind::kEngine,
                 "The coordinate system file `" + path + "' is not a regular file");
  }
  if (static_cast<size_t>(st.st_size) > kMaxPrjSize) {
    return Error(ErrorKind::kEngine,
                 "The coordinate system file `" + path + "' is too large to be one");
  }
  std::string text(static_cast<size_t>(st.st_size), '\0');
  size_t done = 0;
  while (done < text.size()) {
    ssize_t got = ::read(fd.get(), text.data() + done, text.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Error::FromErrno(errno);
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  text.resize(done);
  return text;
}

// The lines of the file without their ends (CR LF, LF or CR).
CPLStringList Lines(const std::string& text) {
  CPLStringList lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string::npos) stop = text.size();
    lines.AddString(text.substr(start, stop - start).c_str());
    start = stop + (text.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

// The second word of the first line that begins with "Units" (any case), as GDAL looks it up.
std::string UnitsOf(const CPLStringList& lines) {
  for (int i = 0; i < lines.size(); ++i) {
    if (EQUALN(lines[i], "Units", 5)) {
      CPLStringList words(CSLTokenizeString(lines[i]));
      return words.size() > 1 ? words[1] : "";
    }
  }
  return "";
}

}  // namespace

Result<std::optional<PrjSidecar>> ReadPrjSidecar(const std::string& grid_path) {
  const fs::path path(grid_path);
  const fs::path folder = path.parent_path();
  const std::string grid_name = path.filename().string();
  // GDAL's stem drops the last extension; the batch names grids by the part before the first.
  const std::string stem = path.stem().string();
  const std::string base = BaseName(grid_name);
  std::optional<std::string> name = FindSidecar(folder, stem, grid_name);
  if (!name && base != stem) name = FindSidecar(folder, base, grid_name);
  if (!name) return std::optional<PrjSidecar>();

  PrjSidecar sidecar;
  sidecar.path = (folder / *name).string();
  Result<std::string> text = ReadSmallFile(sidecar.path);
  if (!text.ok()) return text.error();
  if (text->find_first_not_of(" \t\r\n") == std::string::npos) {
    return std::optional<PrjSidecar>();
  }
  CPLStringList lines = Lines(*text);
  GdalErrorScope scope;
  OGRSpatialReference srs;
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  if (srs.importFromESRI(lines.List()) != OGRERR_NONE) {
    return Error(ErrorKind::kEngine, "The coordinate system file `" + sidecar.path +
                                         "' holds no coordinate system that can be read");
  }
  sidecar.arc_seconds = srs.IsGeographic() && EQUAL(UnitsOf(lines).c_str(), "DS");
  Result<std::string> wkt = SrsWktOf(srs, grid_path);
  if (!wkt.ok()) return wkt.error();
  sidecar.wkt = std::move(*wkt);
  return std::optional<PrjSidecar>(std::move(sidecar));
}

}  // namespace terravox::engine
