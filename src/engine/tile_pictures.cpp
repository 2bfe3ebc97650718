// MakeTilePictures: the GRID and its slope read resampled to the picture's size, shaded and
// coloured by GDAL's DEM processing, the contour lines burnt in by GDAL's rasterizer, and the
// pictures written by GDAL's PNG driver.
#include "engine/tile_pictures.h"

#include <gdal_alg.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"
#include "engine/png_file.h"
#include "engine/slope_ramp.h"

namespace terravox::engine {
namespace {

constexpr float kNoData = -std::numeric_limits<float>::max();
// The contour lines' colour: dark brown reads well on every grey of the hillshade.
constexpr double kContourColour[4] = {120, 50, 10, 255};
// Metres in a degree: GDAL's scale for heights in metres over a grid in degrees.
constexpr const char* kMetresPerDegree = "111120";

// A picture's size and the GDAL geotransform of its pixels.
struct Frame {
  int width = 0;
  int height = 0;
  double transform[6] = {};
};

Result<Frame> FrameOf(GDALDataset& grid) {
  double gt[6];
  if (grid.GetGeoTransform(gt) != CE_None) return EngineError("The raster has no georeferencing");
  const int ncols = grid.GetRasterXSize();
  const int nrows = grid.GetRasterYSize();
  const PictureSize size = PictureSizeFor(ncols, nrows);
  Frame frame{size.width, size.height, {}};
  frame.transform[0] = gt[0];
  frame.transform[1] = gt[1] * ncols / size.width;
  frame.transform[3] = gt[3];
  frame.transform[5] = gt[5] * nrows / size.height;
  return frame;
}

// The extent, coordinate system and unit of a north-up raster.
Status ReadFootprint(GDALDataset& raster, Quicklook& look) {
  double gt[6];
  if (raster.GetGeoTransform(gt) != CE_None) return EngineError("The raster has no georeferencing");
  const double x_end = gt[0] + gt[1] * raster.GetRasterXSize();
  const double y_end = gt[3] + gt[5] * raster.GetRasterYSize();
  look.west = std::min(gt[0], x_end);
  look.east = std::max(gt[0], x_end);
  look.south = std::min(gt[3], y_end);
  look.north = std::max(gt[3], y_end);
  if (const OGRSpatialReference* srs = raster.GetSpatialRef(); srs != nullptr) {
    const char* name = srs->GetName();
    look.srs_name = name != nullptr ? name : "";
    const char* unit = nullptr;
    if (srs->IsGeographic()) {
      srs->GetAngularUnits(&unit);
    } else {
      srs->GetLinearUnits(&unit);
    }
    look.unit = unit != nullptr ? unit : "";
  }
  return Status::Ok();
}

// Band 1 of raster at the frame's size, shrunk by averaging or enlarged bilinearly; no-data
// (the band's value or NaN) as kNoData.
Result<std::vector<float>> ReadResampled(GDALDataset& raster, const Frame& frame) {
  GDALRasterBand* band = raster.GetRasterBand(1);
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  extra.eResampleAlg = frame.width < raster.GetRasterXSize() ? GRIORA_Average : GRIORA_Bilinear;
  std::vector<float> cells(static_cast<size_t>(frame.width) * frame.height);
  if (band->RasterIO(GF_Read, 0, 0, raster.GetRasterXSize(), raster.GetRasterYSize(), cells.data(),
                     frame.width, frame.height, GDT_Float32, 0, 0, &extra) != CE_None) {
    return GdalErrorScope::LastError("Cannot read the raster");
  }
  int has_nodata = 0;
  const float nodata = static_cast<float>(band->GetNoDataValue(&has_nodata));
  for (float& cell : cells) {
    if (std::isnan(cell) || (has_nodata && cell == nodata)) cell = kNoData;
  }
  return cells;
}

// The largest value of band 1, read from every cell; NaN when no cell holds one.
double LargestValue(GDALDataset& raster, double* smallest = nullptr) {
  double range[2] = {NAN, NAN};
  if (raster.GetRasterBand(1)->ComputeRasterMinMax(FALSE, range) != CE_None) {
    CPLErrorReset();  // no valid cell
    range[0] = range[1] = NAN;
  }
  if (smallest != nullptr) *smallest = range[0];
  return range[1];
}

// A MEM dataset of the frame with the given bands.
Result<GDALDatasetUniquePtr> FrameDataset(const Frame& frame, int bands, GDALDataType type) {
  GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
  if (mem == nullptr) return EngineError("GDAL's MEM driver is missing");
  GDALDatasetUniquePtr ds(mem->Create("", frame.width, frame.height, bands, type, nullptr));
  if (!ds) return GdalErrorScope::LastError("Cannot make a picture");
  if (ds->SetGeoTransform(const_cast<double*>(frame.transform)) != CE_None) {
    return GdalErrorScope::LastError("Cannot make a picture");
  }
  return ds;
}

// values as a one-band float dataset of the frame, kNoData its no-data value.
Result<GDALDatasetUniquePtr> FloatDataset(const Frame& frame, std::vector<float>& values) {
  Result<GDALDatasetUniquePtr> ds = FrameDataset(frame, 1, GDT_Float32);
  if (!ds.ok()) return ds;
  GDALRasterBand* band = (*ds)->GetRasterBand(1);
  if (band->SetNoDataValue(kNoData) != CE_None ||
      band->RasterIO(GF_Write, 0, 0, frame.width, frame.height, values.data(), frame.width,
                     frame.height, GDT_Float32, 0, 0, nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot make a picture");
  }
  return ds;
}

// Runs one of GDAL's DEM processings into a MEM dataset.
Result<GDALDatasetUniquePtr> DemProcessing(GDALDataset& input, const char* processing,
                                           const char* colour_file,
                                           std::initializer_list<const char*> args) {
  CPLStringList list;
  for (const char* arg : {"-of", "MEM"}) list.AddString(arg);
  for (const char* arg : args) list.AddString(arg);
  GdalDemOptionsPtr options(GDALDEMProcessingOptionsNew(list.List(), nullptr));
  if (!options) return GdalErrorScope::LastError("Invalid picture options");
  int usage_error = FALSE;
  GDALDatasetUniquePtr output(GDALDataset::FromHandle(GDALDEMProcessing(
      "", GDALDataset::ToHandle(&input), processing, colour_file, options.get(), &usage_error)));
  if (!output) return GdalErrorScope::LastError(std::string("Cannot compute the ") + processing);
  return output;
}

// The grey hillshade of the heights as RGBA bands of a MEM dataset, no-data transparent.
Result<GDALDatasetUniquePtr> HillshadePicture(const Frame& frame, std::vector<float>& heights,
                                              bool geographic) {
  Result<GDALDatasetUniquePtr> dem = FloatDataset(frame, heights);
  if (!dem.ok()) return dem;
  Result<GDALDatasetUniquePtr> shade =
      geographic
          ? DemProcessing(**dem, "hillshade", nullptr, {"-compute_edges", "-s", kMetresPerDegree})
          : DemProcessing(**dem, "hillshade", nullptr, {"-compute_edges"});
  if (!shade.ok()) return shade;
  std::vector<unsigned char> grey(heights.size());
  if ((*shade)->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, frame.width, frame.height, grey.data(),
                                           frame.width, frame.height, GDT_Byte, 0, 0,
                                           nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot read the hillshade");
  }
  std::vector<unsigned char> alpha(heights.size());
  for (size_t i = 0; i < heights.size(); ++i) alpha[i] = heights[i] == kNoData ? 0 : 255;
  Result<GDALDatasetUniquePtr> picture = FrameDataset(frame, 4, GDT_Byte);
  if (!picture.ok()) return picture;
  for (int b = 1; b <= 4; ++b) {
    unsigned char* data = b == 4 ? alpha.data() : grey.data();
    if ((*picture)->GetRasterBand(b)->RasterIO(GF_Write, 0, 0, frame.width, frame.height, data,
                                               frame.width, frame.height, GDT_Byte, 0, 0,
                                               nullptr) != CE_None) {
      return GdalErrorScope::LastError("Cannot make a picture");
    }
  }
  return picture;
}

// Burns the lines of the Shapefile into the picture; returns how many there are.
Result<int64_t> DrawContours(GDALDataset& picture, const std::string& shp_path) {
  if (IsGdalVirtualPath(shp_path)) return EngineError("'" + shp_path + "' names no file on disk");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(shp_path, ec)) {
    return EngineError("'" + shp_path + "' is not a contour Shapefile");
  }
  const char* const drivers[] = {"ESRI Shapefile", nullptr};
  GDALDatasetUniquePtr lines(
      GDALDataset::Open(shp_path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers));
  if (!lines || lines->GetLayerCount() < 1) {
    return GdalErrorScope::LastError("Cannot read " + shp_path);
  }
  OGRLayerH layer = OGRLayer::ToHandle(lines->GetLayer(0));
  int bands[4] = {1, 2, 3, 4};
  if (GDALRasterizeLayers(GDALDataset::ToHandle(&picture), 4, bands, 1, &layer, nullptr, nullptr,
                          const_cast<double*>(kContourColour), nullptr, nullptr,
                          nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot draw the contour lines");
  }
  return static_cast<int64_t>(lines->GetLayer(0)->GetFeatureCount(TRUE));
}

// The ramp as a GDAL colour file in memory, under a name of its own for each call: pictures are
// made on several threads at once.
class RampFile {
 public:
  RampFile() {
    static std::atomic<unsigned> counter{0};
    path_ = CPLSPrintf("/vsimem/terravox-slope-ramp-%u.txt", counter++);
    std::string text = "nv 0 0 0 0\n";
    for (const RampStop& stop : kSlopeRamp) {
      text += CPLSPrintf("%g %d %d %d 255\n", stop.degrees, stop.red, stop.green, stop.blue);
    }
    VSILFILE* file = VSIFOpenL(path_.c_str(), "wb");
    if (file != nullptr) {
      VSIFWriteL(text.data(), 1, text.size(), file);
      VSIFCloseL(file);
    }
  }
  RampFile(const RampFile&) = delete;
  RampFile& operator=(const RampFile&) = delete;
  ~RampFile() { VSIUnlink(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

// The slope picture at the frame's size; returns the largest slope.
Result<double> WriteSlopePicture(const std::string& slope_path, const Frame& frame,
                                 const std::string& png_path) {
  Result<GDALDatasetUniquePtr> slope = OpenGridRaster(slope_path);
  if (!slope.ok()) return slope.error();
  const double largest = LargestValue(**slope);
  Result<std::vector<float>> values = ReadResampled(**slope, frame);
  if (!values.ok()) return values.error();
  Result<GDALDatasetUniquePtr> input = FloatDataset(frame, *values);
  if (!input.ok()) return input.error();
  RampFile ramp;
  Result<GDALDatasetUniquePtr> coloured =
      DemProcessing(**input, "color-relief", ramp.path(), {"-alpha"});
  if (!coloured.ok()) return coloured.error();
  if (Status s = WritePng(**coloured, png_path); !s.ok()) return s.error();
  return largest;
}

}  // namespace

PictureSize PictureSizeFor(int ncols, int nrows) {
  const double longest = std::max({ncols, nrows, 1});
  const double side = std::clamp(longest, double{kMinPictureSide}, double{kMaxPictureSide});
  return {std::max(1, static_cast<int>(std::lround(ncols * side / longest))),
          std::max(1, static_cast<int>(std::lround(nrows * side / longest)))};
}

Result<Quicklook> MakeTilePictures(const TileSources& sources, const std::string& hillshade_png,
                                   const std::string& slope_png) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> grid = OpenGridRaster(sources.grid);
  if (!grid.ok()) return grid.error();
  Quicklook look;
  if (Status s = ReadFootprint(**grid, look); !s.ok()) return s.error();
  Result<Frame> frame = FrameOf(**grid);
  if (!frame.ok()) return frame.error();
  look.z_max = LargestValue(**grid, &look.z_min);
  Result<std::vector<float>> heights = ReadResampled(**grid, *frame);
  if (!heights.ok()) return heights.error();
  const bool geographic =
      (*grid)->GetSpatialRef() != nullptr && (*grid)->GetSpatialRef()->IsGeographic();
  grid->reset();

  Result<GDALDatasetUniquePtr> picture = HillshadePicture(*frame, *heights, geographic);
  if (!picture.ok()) return picture.error();
  if (!sources.contours.empty()) {
    Result<int64_t> lines = DrawContours(**picture, sources.contours);
    if (!lines.ok()) return lines.error();
    look.contour_lines = *lines;
  }
  if (Status s = WritePng(**picture, hillshade_png); !s.ok()) return s.error();
  look.hillshade = hillshade_png;
  if (!sources.slope.empty()) {
    Result<double> largest = WriteSlopePicture(sources.slope, *frame, slope_png);
    if (!largest.ok()) return largest.error();
    look.slope_max = *largest;
    look.slope = slope_png;
  }
  return look;
}

Result<Quicklook> ReadRasterExtent(const std::string& path) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  if (IsGridFolder(path)) {
    Result<GDALDatasetUniquePtr> grid = OpenGridRaster(path);
    if (!grid.ok()) return grid.error();
    Quicklook look;
    if (Status s = ReadFootprint(**grid, look); !s.ok()) return s.error();
    return look;
  }
  std::error_code ec;
  if (IsGdalVirtualPath(path) || !std::filesystem::is_regular_file(path, ec)) {
    return EngineError("'" + path + "' is no raster file");
  }
  const char* const drivers[] = {"AAIGrid", nullptr};
  GDALDatasetUniquePtr raster(
      GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers));
  if (!raster) return GdalErrorScope::LastError("'" + path + "' is no ESRI ASCII grid");
  Quicklook look;
  if (Status s = ReadFootprint(*raster, look); !s.ok()) return s.error();
  return look;
}

}  // namespace terravox::engine
