// MakeContours: contour lines of a GRID through GDAL's contour generator, written as an ESRI
// Shapefile under a fresh temporary name in the output workspace.
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <string>

#include "core/number_format.h"
#include "core/owner_lock.h"
#include "core/paths.h"
#include "engine/contour_guard.h"
#include "engine/contour_maker.h"
#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"
#include "engine/run_progress.h"
#include "engine/shapefile_files.h"

namespace terravox::engine {
namespace {

struct SrsReleaser {
  void operator()(OGRSpatialReference* srs) const { srs->Release(); }
};
using SrsPtr = std::unique_ptr<OGRSpatialReference, SrsReleaser>;

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
    if (!kept_) (void)RemoveShapefileFiles(folder_, name_);
  }
  void Keep() { kept_ = true; }

 private:
  std::string folder_;
  std::string name_;
  bool kept_ = false;
};

// Runs GDAL's contour generator on band 1 of raster into a new line Shapefile at shp_path.
Status WriteContours(GDALDataset& raster, const std::string& shp_path, const std::string& name,
                     double interval, double level_base) {
  GDALRasterBand* band = raster.GetRasterBand(1);

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
  // Refused before anything is written: a typing slip in the interval (0.0001 for 1) would keep
  // the run busy for hours and fill the disk.
  Result<ContourFigures> figures = ReadContourFigures(input);
  if (!figures.ok()) return figures.error();
  if (Status s = CheckContourWork(*figures, interval); !s.ok()) return s.error();
  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> raster = OpenRaster(input);
  if (!raster.ok()) return raster.error();
  // Before the temporary, and released after its guard: a sweep never finds it unlocked.
  std::shared_ptr<const void> owner_lock = HoldOwnerLock(folder);
  Result<std::string> name = FreshShapefileName(folder);
  if (!name.ok()) return name.error();

  TemporaryShapefile temporary(folder, *name);
  const std::string base_path = JoinPath(folder, *name);
  Status written = WriteContours(**raster, base_path + ".shp", *name, interval, level_base);
  if (!written.ok()) return written.error();
  temporary.Keep();
  ShapefileDataset contours(folder, *name, KnownShapefileSuffixes(base_path));
  contours.HoldOwnerLockUntilRenamed(std::move(owner_lock));
  return contours;
}

}  // namespace terravox::engine
