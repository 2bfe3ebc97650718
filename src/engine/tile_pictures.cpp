// MakeTilePictures: the GRID and its slope read resampled to the picture's size, shaded and
// coloured by GDAL's DEM processing, the contour lines burnt in by GDAL's rasterizer, and the
// pictures written by GDAL's PNG driver.
#include "engine/tile_pictures.h"

#include <gdal_alg.h>
#include <ogrsf_frmts.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <span>
#include <system_error>
#include <vector>

#include "engine/float_cells_dataset.h"
#include "engine/gdal_scope.h"
#include "engine/grid_folder.h"
#include "engine/held_grid.h"
#include "engine/png_file.h"
#include "engine/slope_ramp.h"

namespace terravox::engine {
namespace {

constexpr float kNoData = -std::numeric_limits<float>::max();
// The contour lines' colour: dark brown reads well on every grey of the hillshade.
constexpr short kContourColour[3] = {120, 50, 10};
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
  // A header's numbers are only claims: an extent past what a double spans places nothing.
  if (!std::isfinite(gt[1] * raster.GetRasterXSize()) ||
      !std::isfinite(gt[5] * raster.GetRasterYSize()) || !std::isfinite(gt[0]) ||
      !std::isfinite(gt[3])) {
    return EngineError("The raster's extent is out of range");
  }
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

// Band 1 of a raster at full size: where it lies in memory, or read once, with its no-data value
// (NaN cells and kNoData count as no-data too) and the range of its other values (NaN when it has
// none).
struct Cells {
  // values may lie in read: a move keeps read's buffer where it is, a copy would not.
  Cells() = default;
  Cells(Cells&&) = default;
  Cells& operator=(Cells&&) = default;
  Cells(const Cells&) = delete;
  Cells& operator=(const Cells&) = delete;

  std::vector<float> read;        // the cells read from a file, or empty
  std::span<const float> values;  // the cells: read's, or held elsewhere
  int width = 0;
  int height = 0;
  bool has_nodata = false;
  float nodata = 0;
  double min = NAN;
  double max = NAN;

  bool IsNoData(float value) const {
    return std::isnan(value) || (has_nodata && value == nodata) || value == kNoData;
  }
};

// Finds the range of the cells that are not no-data: four at a time where the processor can, as
// a million cells a raster would otherwise cost a tenth of the pictures.
void FindRange(Cells& cells) {
  const std::span<const float> values = cells.values;
  float low = std::numeric_limits<float>::infinity();
  float high = -low;
  size_t i = 0;
#if defined(__SSE2__)
  const float nodata = cells.has_nodata ? cells.nodata : kNoData;
  const __m128 infinite = _mm_set1_ps(low);
  const __m128 nodata4 = _mm_set1_ps(nodata);
  const __m128 marked4 = _mm_set1_ps(kNoData);
  __m128 low4 = infinite;
  __m128 high4 = _mm_sub_ps(_mm_setzero_ps(), infinite);
  for (; i + 4 <= values.size(); i += 4) {
    const __m128 value = _mm_loadu_ps(values.data() + i);
    const __m128 skip =
        _mm_or_ps(_mm_cmpunord_ps(value, value),
                  _mm_or_ps(_mm_cmpeq_ps(value, nodata4), _mm_cmpeq_ps(value, marked4)));
    // A skipped cell counts as infinity, which changes neither end of the range.
    const __m128 kept = _mm_andnot_ps(skip, value);
    low4 = _mm_min_ps(_mm_or_ps(kept, _mm_and_ps(skip, infinite)), low4);
    high4 = _mm_max_ps(_mm_or_ps(kept, _mm_and_ps(skip, _mm_sub_ps(_mm_setzero_ps(), infinite))),
                       high4);
  }
  alignas(16) float lows[4], highs[4];
  _mm_store_ps(lows, low4);
  _mm_store_ps(highs, high4);
  for (int lane = 0; lane < 4; ++lane) {
    low = std::min(low, lows[lane]);
    high = std::max(high, highs[lane]);
  }
#endif
  for (; i < values.size(); ++i) {
    const float value = values[i];
    if (cells.IsNoData(value)) continue;
    low = std::min(low, value);
    high = std::max(high, value);
  }
  if (low <= high) {
    cells.min = low;
    cells.max = high;
  }
}

Result<Cells> ReadCells(GDALDataset& raster) {
  Cells cells;
  cells.width = raster.GetRasterXSize();
  cells.height = raster.GetRasterYSize();
  cells.read.resize(static_cast<size_t>(cells.width) * cells.height);
  GDALRasterBand* band = raster.GetRasterBand(1);
  if (band->RasterIO(GF_Read, 0, 0, cells.width, cells.height, cells.read.data(), cells.width,
                     cells.height, GDT_Float32, 0, 0, nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot read the raster");
  }
  cells.values = cells.read;
  int has_nodata = 0;
  cells.nodata = static_cast<float>(band->GetNoDataValue(&has_nodata));
  cells.has_nodata = has_nodata != 0;
  FindRange(cells);
  return cells;
}

// The cells of a dataset over cells held in memory, read in place.
Cells HeldCellsOf(GDALDataset& dataset, std::span<const float> values) {
  Cells cells;
  cells.width = dataset.GetRasterXSize();
  cells.height = dataset.GetRasterYSize();
  cells.values = values;
  int has_nodata = 0;
  cells.nodata = static_cast<float>(dataset.GetRasterBand(1)->GetNoDataValue(&has_nodata));
  cells.has_nodata = has_nodata != 0;
  FindRange(cells);
  return cells;
}

// The cells of a raster as reading the GRID stored from it gives them (its no-data is kNoData).
Cells CellsOf(const Raster& raster) {
  Cells cells;
  cells.width = raster.geometry().ncols;
  cells.height = raster.geometry().nrows;
  cells.values = raster.cells();
  FindRange(cells);
  return cells;
}

// The cells at the frame's size by GDAL's resampling over a MEM dataset that reads them in place,
// no-data as kNoData: shrunk to the nearest cell, enlarged bilinearly. Averaging would cost more
// than the rest of the pictures together and blunt a spike, which a quick look is there to show.
Result<std::vector<float>> Resample(Cells& cells, const Frame& frame) {
  const bool shrink = frame.width < cells.width;
  std::vector<float> marked;
  if (!shrink) {
    // Blending must see the no-data cells as such: they are marked first (few, for a small
    // raster).
    marked.assign(cells.values.begin(), cells.values.end());
    for (float& value : marked) {
      if (cells.IsNoData(value)) value = kNoData;
    }
    if (cells.width == frame.width && cells.height == frame.height) return marked;
  }
  Result<GDALDatasetUniquePtr> held =
      FloatCellsDataset(shrink ? cells.values.data() : marked.data(), cells.width, cells.height,
                        "Cannot make a picture");
  if (!held.ok()) return held.error();
  GDALDatasetUniquePtr& source = *held;
  if (source->GetRasterBand(1)->SetNoDataValue(kNoData) != CE_None) {
    return GdalErrorScope::LastError("Cannot make a picture");
  }
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  extra.eResampleAlg = shrink ? GRIORA_NearestNeighbour : GRIORA_Bilinear;
  std::vector<float> resampled(static_cast<size_t>(frame.width) * frame.height);
  if (source->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, cells.width, cells.height, resampled.data(),
                                         frame.width, frame.height, GDT_Float32, 0, 0,
                                         &extra) != CE_None) {
    return GdalErrorScope::LastError("Cannot resample the raster");
  }
  // The nearest cell is a cell as it was: its no-data is marked now, on the fewer pixels.
  for (float& value : resampled) {
    if (cells.IsNoData(value)) value = kNoData;
  }
  source.reset();
  // A large raster's cells are not held twice.
  cells.values = {};
  std::vector<float>().swap(cells.read);
  return resampled;
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

// values as a one-band float dataset of the frame, kNoData its no-data value when they hold it.
Result<GDALDatasetUniquePtr> FloatDataset(const Frame& frame, std::vector<float>& values) {
  Result<GDALDatasetUniquePtr> ds = FrameDataset(frame, 1, GDT_Float32);
  if (!ds.ok()) return ds;
  GDALRasterBand* band = (*ds)->GetRasterBand(1);
  // Without a no-data value GDAL shades by its fast path, in less than half the time.
  const bool holes = std::find(values.begin(), values.end(), kNoData) != values.end();
  if ((holes && band->SetNoDataValue(kNoData) != CE_None) ||
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

// Paletted pictures: one byte a pixel, and libpng filters palette rows plainly rather than trying
// every filter on every row, which costs more than the rest of a picture together.
constexpr unsigned char kTransparent = 0;  // no-data
constexpr unsigned char kFirstShade = 1;   // greys and ramp colours: 1 .. kLastShade
constexpr unsigned char kLastShade = 254;
constexpr unsigned char kLine = 255;  // contour lines

// indexes (the frame's size) with their colours as a one-band MEM dataset of the frame.
Result<GDALDatasetUniquePtr> PalettedPicture(const Frame& frame,
                                             std::vector<unsigned char>& indexes,
                                             const GDALColorTable& colours) {
  Result<GDALDatasetUniquePtr> picture = FrameDataset(frame, 1, GDT_Byte);
  if (!picture.ok()) return picture;
  GDALRasterBand* band = (*picture)->GetRasterBand(1);
  if (band->SetColorTable(const_cast<GDALColorTable*>(&colours)) != CE_None ||
      band->RasterIO(GF_Write, 0, 0, frame.width, frame.height, indexes.data(), frame.width,
                     frame.height, GDT_Byte, 0, 0, nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot make a picture");
  }
  return picture;
}

GDALColorTable HillshadeColours() {
  GDALColorTable colours;
  const GDALColorEntry transparent = {0, 0, 0, 0};
  colours.SetColorEntry(kTransparent, &transparent);
  for (int i = kFirstShade; i <= kLastShade; ++i) {
    const GDALColorEntry grey = {static_cast<short>(i), static_cast<short>(i),
                                 static_cast<short>(i), 255};
    colours.SetColorEntry(i, &grey);
  }
  const GDALColorEntry line = {kContourColour[0], kContourColour[1], kContourColour[2], 255};
  colours.SetColorEntry(kLine, &line);
  return colours;
}

// The grey hillshade of the heights, no-data transparent.
Result<GDALDatasetUniquePtr> HillshadePicture(const Frame& frame, std::vector<float>& heights,
                                              bool geographic) {
  Result<GDALDatasetUniquePtr> dem = FloatDataset(frame, heights);
  if (!dem.ok()) return dem;
  Result<GDALDatasetUniquePtr> shade =
      geographic
          ? DemProcessing(**dem, "hillshade", nullptr, {"-compute_edges", "-s", kMetresPerDegree})
          : DemProcessing(**dem, "hillshade", nullptr, {"-compute_edges"});
  if (!shade.ok()) return shade;
  std::vector<unsigned char> indexes(heights.size());
  if ((*shade)->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, frame.width, frame.height, indexes.data(),
                                           frame.width, frame.height, GDT_Byte, 0, 0,
                                           nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot read the hillshade");
  }
  for (size_t i = 0; i < heights.size(); ++i) {
    indexes[i] =
        heights[i] == kNoData ? kTransparent : std::clamp(indexes[i], kFirstShade, kLastShade);
  }
  static const GDALColorTable colours = HillshadeColours();
  return PalettedPicture(frame, indexes, colours);
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
  int band = 1;
  double burn = kLine;
  if (GDALRasterizeLayers(GDALDataset::ToHandle(&picture), 1, &band, 1, &layer, nullptr, nullptr,
                          &burn, nullptr, nullptr, nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot draw the contour lines");
  }
  return static_cast<int64_t>(lines->GetLayer(0)->GetFeatureCount(TRUE));
}

// The slope of palette entry i (kFirstShade .. kLastShade): the ramp's range in equal steps.
double SlopeOfEntry(int i) {
  return kSlopeRamp.back().degrees * (i - kFirstShade) / (kLastShade - kFirstShade);
}

// The ramp's colours for the palette, blended by GDAL's colour relief over one row of the
// entries' slopes; grey should GDAL fail to.
GDALColorTable SlopeColours() {
  GdalErrorScope scope;
  GDALColorTable colours = HillshadeColours();
  const Frame row{kLastShade - kFirstShade + 1, 1, {0, 1, 0, 1, 0, -1}};
  std::vector<float> slopes;
  for (int i = kFirstShade; i <= kLastShade; ++i)
    slopes.push_back(static_cast<float>(SlopeOfEntry(i)));
  const std::string ramp_path = "/vsimem/terravox-slope-ramp.txt";
  std::string text;
  for (const RampStop& stop : kSlopeRamp) {
    text += CPLSPrintf("%g %d %d %d\n", stop.degrees, stop.red, stop.green, stop.blue);
  }
  VSILFILE* file = VSIFOpenL(ramp_path.c_str(), "wb");
  if (file == nullptr) return colours;
  VSIFWriteL(text.data(), 1, text.size(), file);
  VSIFCloseL(file);
  Result<GDALDatasetUniquePtr> input = FloatDataset(row, slopes);
  Result<GDALDatasetUniquePtr> coloured =
      input.ok() ? DemProcessing(**input, "color-relief", ramp_path.c_str(), {})
                 : Result<GDALDatasetUniquePtr>(input.error());
  VSIUnlink(ramp_path.c_str());
  if (!coloured.ok()) return colours;
  std::vector<unsigned char> rgb(static_cast<size_t>(row.width) * 3);
  if ((*coloured)->RasterIO(GF_Read, 0, 0, row.width, 1, rgb.data(), row.width, 1, GDT_Byte, 3,
                            nullptr, 3, GSpacing{3} * row.width, 1, nullptr) != CE_None) {
    return colours;
  }
  for (int i = kFirstShade; i <= kLastShade; ++i) {
    const unsigned char* c = &rgb[static_cast<size_t>(i - kFirstShade) * 3];
    const GDALColorEntry entry = {c[0], c[1], c[2], 255};
    colours.SetColorEntry(i, &entry);
  }
  return colours;
}

// The slope picture at the frame's size from the slope GRID, or from the raster stored as it;
// returns the largest slope.
Result<double> WriteSlopePicture(const std::string& slope_path, const Raster* slope_raster,
                                 const Frame& frame, const std::string& png_path) {
  Result<Cells> cells = Cells();
  if (slope_raster != nullptr) {
    cells = CellsOf(*slope_raster);
  } else {
    Result<GDALDatasetUniquePtr> slope = OpenGridRaster(slope_path);
    if (!slope.ok()) return slope.error();
    cells = ReadCells(**slope);
  }
  if (!cells.ok()) return cells.error();
  const double largest = cells->max;
  Result<std::vector<float>> values = Resample(*cells, frame);
  if (!values.ok()) return values.error();
  // Each slope takes the palette entry nearest to it; past the ramp's end, the last.
  const double per_entry = SlopeOfEntry(kFirstShade + 1);
  std::vector<unsigned char> indexes(values->size());
  for (size_t i = 0; i < indexes.size(); ++i) {
    const float value = (*values)[i];
    indexes[i] = value == kNoData ? kTransparent
                                  : static_cast<unsigned char>(
                                        kFirstShade + std::clamp(std::lround(value / per_entry), 0L,
                                                                 long{kLastShade - kFirstShade}));
  }
  static const GDALColorTable colours = SlopeColours();
  Result<GDALDatasetUniquePtr> picture = PalettedPicture(frame, indexes, colours);
  if (!picture.ok()) return picture.error();
  if (Status s = WritePng(**picture, png_path); !s.ok()) return s.error();
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
                                   const std::string& slope_png, const TileCells& in_memory) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> grid =
      in_memory.grid ? OpenHeldGrid(*in_memory.grid) : OpenGridRaster(sources.grid);
  if (!grid.ok()) return grid.error();
  Quicklook look;
  if (Status s = ReadFootprint(**grid, look); !s.ok()) return s.error();
  Result<Frame> frame = FrameOf(**grid);
  if (!frame.ok()) return frame.error();
  const bool geographic =
      (*grid)->GetSpatialRef() != nullptr && (*grid)->GetSpatialRef()->IsGeographic();
  Result<Cells> cells =
      in_memory.grid ? HeldCellsOf(**grid, HeldCells(*in_memory.grid)) : ReadCells(**grid);
  if (!cells.ok()) return cells.error();
  grid->reset();
  look.z_min = cells->min;
  look.z_max = cells->max;
  Result<std::vector<float>> heights = Resample(*cells, *frame);
  if (!heights.ok()) return heights.error();

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
    Result<double> largest = WriteSlopePicture(sources.slope, in_memory.slope, *frame, slope_png);
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
