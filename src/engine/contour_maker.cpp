// MakeContours: contour lines of a GRID through GDAL's contour generator, written as an ESRI
// Shapefile under a fresh temporary name in the output workspace.
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <system_error>

#include "core/number_format.h"
#include "core/paths.h"
#include "engine/contour_maker.h"
#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"
#include "engine/run_progress.h"

namespace terravox::engine {
namespace {

namespace fs = std::filesystem;

// Beyond this many levels a typing slip in the interval (0.0001 for 1) would keep the run busy
// for hours and fill the disk; it is refused instead.
constexpr double kMaxContourLevels = 1e6;

// Every extension a Shapefile of a given name may have: a fresh name must be free of all.
constexpr std::array<const char*, 8> kShapefileExtensions = {".shp", ".shx", ".dbf", ".prj",
                                                             ".cpg", ".sbn", ".sbx", ".qix"};

struct SrsReleaser {
  void operator()(OGRSpatialReference* srs) const { srs->Release(); }
};
using SrsPtr = std::unique_ptr<OGRSpatialReference, SrsReleaser>;

bool EntryExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// A name no Shapefile file in the folder bears yet.
Result<std::string> FreshShapefileName(const std::string& folder) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "contour_%08x", static_cast<unsigned>(random()));
    bool taken = false;
    for (const char* extension : kShapefileExtensions) {
      taken = taken || EntryExists(JoinPath(folder, std::string(name) + extension));
    }
    if (!taken) return std::string(name);
  }
  return EngineError("No free temporary Shapefile name in " + folder);
}

// Removes every file of a temporary Shapefile when it goes out of scope, unless kept: a failed
// contour run leaves nothing behind. Declare it before the dataset it guards, so the dataset
// is closed first.
class TemporaryShapefile {
 public:
  TemporaryShapefile(std::string folder, std::string name)
      : folder_(std::move(folder)), name_(std::move(name)) {}
  TemporaryShapefile(const TemporaryShapefile&) = delete;
  TemporaryShapefile& operator=(const TemporaryShapefile&) = delete;
  ~TemporaryShapefile() {
    if (kept_) return;
    std::error_code ec;
    const std::string prefix = name_ + ".";
    for (auto it = fs::directory_iterator(folder_, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
      const std::string file = it->path().filename().string();
      if (file.compare(0, prefix.size(), prefix) != 0) continue;
      std::error_code ignored;
      fs::remove(it->path(), ignored);
    }
  }
  void Keep() { kept_ = true; }

 private:
  std::string folder_;
  std::string name_;
  bool kept_ = false;
};

// Refuses an interval that would give absurdly many levels over the band's data range. The
// range comes from the GRID's own statistics when it has them.
Status CheckLevelCount(GDALRasterBand& band, double interval) {
  int has_min = 0;
  int has_max = 0;
  double range[2] = {band.GetMinimum(&has_min), band.GetMaximum(&has_max)};
  if (!has_min || !has_max) {
    if (band.ComputeRasterMinMax(TRUE, range) != CE_None) {
      CPLErrorReset();  // no valid cell: no levels, nothing to refuse
      return Status::Ok();
    }
  }
  const double levels = (range[1] - range[0]) / interval;
  if (std::isfinite(levels) && levels <= kMaxContourLevels) return Status::Ok();
  return EngineError("The contour interval " + FormatDouble(interval) +
                     " gives too many levels for the data range " + FormatDouble(range[0]) +
                     " to " + FormatDouble(range[1]));
}

// Runs GDAL's contour generator on band 1 of raster into a new line Shapefile at shp_path.
Status WriteContours(GDALDataset& raster, const std::string& shp_path, const std::string& name,
                     double interval, double level_base) {
  GDALRasterBand* band = raster.GetRasterBand(1);
  if (Status status = CheckLevelCount(*band, interval); !status.ok()) return status;

  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
  if (driver == nullptr) return EngineError("GDAL has no ESRI Shapefile driver");
  GDALDatasetUniquePtr output(driver->Create(shp_path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  if (!output) return GdalErrorScope::LastError("Cannot create " + shp_path);

  SrsPtr srs(raster.GetSpatialRef() ? raster.GetSpatialRef()->Clone() : nullptr);
  OGRLayer* layer = output->CreateLayer(name.c_str(), srs.get(), wkbLineString, nullptr);
  if (layer == nullptr) return GdalErrorScope::LastError("Cannot create the contour layer");
  OGRFieldDefn id_field("ID", OFTInteger);
  OGRFieldDefn contour_field("CONTOUR", OFTReal);
  if (layer->CreateField(&id_field) != OGRERR_NONE ||
      layer->CreateField(&contour_field) != OGRERR_NONE) {
    return GdalErrorScope::LastError("Cannot create the contour fields");
  }

  // GDAL picks the levels base + k * interval that the surface crosses, so none lies outside
  // the data range, without a list of every level in it.
  CPLStringList options;
  options.SetNameValue("LEVEL_INTERVAL", FormatDouble(interval).c_str());
  options.SetNameValue("LEVEL_BASE", FormatDouble(level_base).c_str());
  options.SetNameValue("ID_FIELD", "0");
  options.SetNameValue("ELEV_FIELD", "1");
  int has_nodata = 0;
  const double nodata = band->GetNoDataValue(&has_nodata);
  if (has_nodata) options.SetNameValue("NODATA", FormatDouble(nodata).c_str());
  if (GDALContourGenerateEx(GDALRasterBand::ToHandle(band), OGRLayer::ToHandle(layer),
                            options.List(), RunProgress, nullptr) != CE_None) {
    return FailureOrStop("Contour generation failed");
  }

  // Closing writes the headers and reports failures only through the error state.
  CPLErrorReset();
  output.reset();
  if (GdalErrorScope::HasFailure()) return GdalErrorScope::LastError("Cannot write " + shp_path);
  return Status::Ok();
}

}  // namespace

Result<ShapefileDataset> MakeContourShapefile(const RasterDataset& input, const std::string& folder,
                                              double interval, double level_base) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> raster = OpenGridRaster(input.GetDatasetPath());
  if (!raster.ok()) return raster.error();
  Result<std::string> name = FreshShapefileName(folder);
  if (!name.ok()) return name.error();

  TemporaryShapefile temporary(folder, *name);
  Status written =
      WriteContours(**raster, JoinPath(folder, *name + ".shp"), *name, interval, level_base);
  if (!written.ok()) return written.error();
  temporary.Keep();
  return ShapefileDataset(folder, *name);
}

}  // namespace terravox::engine
