// LayOutOverview and WriteOverviewMap: the tiles' pictures resampled by GDAL into their boxes on
// one RGB canvas, which GDAL's PNG driver writes.
#include "engine/overview_map.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/gdal_scope.h"
#include "engine/png_file.h"

namespace terravox::engine {
namespace {

struct Rgb {
  unsigned char red, green, blue;
};
constexpr Rgb kBackground = {255, 255, 255};
constexpr Rgb kNoOutputs = {170, 170, 170};
constexpr Rgb kFailed = {230, 0, 0};
// The overview's longest side at least, when max_side allows: a small survey's pictures are
// enlarged to it.
constexpr int kLeastSide = 512;

int Round(double value) { return static_cast<int>(std::lround(value)); }

class Canvas {
 public:
  Canvas(int width, int height) : width_(width), rgb_(static_cast<size_t>(width) * height * 3) {
    Fill({0, 0, width, height}, kBackground);
  }

  void Fill(const PixelBox& box, Rgb colour) {
    for (int y = box.top; y < box.bottom; ++y) {
      for (int x = box.left; x < box.right; ++x) Set(x, y, colour);
    }
  }

  // A frame of the given thickness just inside the box.
  void Outline(const PixelBox& box, int thickness, Rgb colour) {
    Fill({box.left, box.top, box.right, std::min(box.bottom, box.top + thickness)}, colour);
    Fill({box.left, std::max(box.top, box.bottom - thickness), box.right, box.bottom}, colour);
    Fill({box.left, box.top, std::min(box.right, box.left + thickness), box.bottom}, colour);
    Fill({std::max(box.left, box.right - thickness), box.top, box.right, box.bottom}, colour);
  }

  // Lays RGBA pixels (interleaved, the box's size) over the box by their alpha.
  void Blend(const PixelBox& box, const std::vector<unsigned char>& rgba) {
    const int width = box.right - box.left;
    for (int y = box.top; y < box.bottom; ++y) {
      for (int x = box.left; x < box.right; ++x) {
        const unsigned char* src =
            &rgba[(static_cast<size_t>(y - box.top) * width + (x - box.left)) * 4];
        unsigned char* dst = At(x, y);
        const int alpha = src[3];
        for (int c = 0; c < 3; ++c)
          dst[c] =
              static_cast<unsigned char>((src[c] * alpha + dst[c] * (255 - alpha) + 127) / 255);
      }
    }
  }

  Status WritePngFile(int height, const std::string& path) {
    GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
    if (mem == nullptr) return EngineError("GDAL's MEM driver is missing");
    GDALDatasetUniquePtr image(mem->Create("", width_, height, 3, GDT_Byte, nullptr));
    if (!image ||
        image->RasterIO(GF_Write, 0, 0, width_, height, rgb_.data(), width_, height, GDT_Byte, 3,
                        nullptr, 3, GSpacing{3} * width_, 1, nullptr) != CE_None) {
      return GdalErrorScope::LastError("Cannot make the overview");
    }
    return WritePng(*image, path);
  }

 private:
  unsigned char* At(int x, int y) { return &rgb_[(static_cast<size_t>(y) * width_ + x) * 3]; }
  void Set(int x, int y, Rgb colour) {
    unsigned char* pixel = At(x, y);
    pixel[0] = colour.red;
    pixel[1] = colour.green;
    pixel[2] = colour.blue;
  }

  int width_;
  std::vector<unsigned char> rgb_;
};

// A paletted picture's colours as an interleaved RGBA MEM dataset over rgba, so that shrinking
// it blends colours rather than palette indexes.
Result<GDALDatasetUniquePtr> ExpandPalette(GDALDataset& picture, const GDALColorTable& colours,
                                           std::vector<unsigned char>& rgba) {
  const int width = picture.GetRasterXSize();
  const int height = picture.GetRasterYSize();
  std::vector<unsigned char> indexes(static_cast<size_t>(width) * height);
  if (picture.GetRasterBand(1)->RasterIO(GF_Read, 0, 0, width, height, indexes.data(), width,
                                         height, GDT_Byte, 0, 0, nullptr) != CE_None) {
    return GdalErrorScope::LastError("Cannot read a picture");
  }
  rgba.resize(indexes.size() * 4);
  for (size_t i = 0; i < indexes.size(); ++i) {
    const GDALColorEntry* entry = colours.GetColorEntry(indexes[i]);
    const GDALColorEntry none = {0, 0, 0, 0};
    if (entry == nullptr) entry = &none;
    const short channels[4] = {entry->c1, entry->c2, entry->c3, entry->c4};
    for (int c = 0; c < 4; ++c) rgba[i * 4 + c] = static_cast<unsigned char>(channels[c]);
  }
  GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
  if (mem == nullptr) return EngineError("GDAL's MEM driver is missing");
  GDALDatasetUniquePtr expanded(mem->Create("", width, height, 0, GDT_Byte, nullptr));
  if (!expanded) return GdalErrorScope::LastError("Cannot read a picture");
  for (int c = 0; c < 4; ++c) {
    char pointer[64] = {};
    CPLPrintPointer(pointer, rgba.data() + c, sizeof(pointer));
    CPLStringList options;
    options.SetNameValue("DATAPOINTER", pointer);
    options.SetNameValue("PIXELOFFSET", "4");
    options.SetNameValue("LINEOFFSET", CPLSPrintf("%d", 4 * width));
    if (expanded->AddBand(GDT_Byte, options.List()) != CE_None) {
      return GdalErrorScope::LastError("Cannot read a picture");
    }
  }
  return expanded;
}

// The picture resampled to the box's size as interleaved RGBA: paletted pictures by their
// colours, grey ones give their grey to all three colours, pictures without alpha are opaque.
bool ReadPicture(GDALDataset& given, const PixelBox& box, std::vector<unsigned char>& rgba) {
  GDALDataset* picture = &given;
  const GDALColorTable* colours =
      given.GetRasterCount() == 1 ? given.GetRasterBand(1)->GetColorTable() : nullptr;
  std::vector<unsigned char> expanded_pixels;
  Result<GDALDatasetUniquePtr> expanded(EngineError("not paletted"));
  if (colours != nullptr) {
    expanded = ExpandPalette(given, *colours, expanded_pixels);
    if (!expanded.ok()) return false;
    picture = expanded->get();
  }
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  const int bands = picture->GetRasterCount();
  int band_map[4] = {1, 2, 3, 4};
  if (bands <= 2) band_map[1] = band_map[2] = 1, band_map[3] = 2;
  const bool has_alpha = bands == 2 || bands >= 4;
  rgba.assign(static_cast<size_t>(width) * height * 4, 255);
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  extra.eResampleAlg = width < picture->GetRasterXSize() ? GRIORA_Average : GRIORA_Bilinear;
  return picture->RasterIO(GF_Read, 0, 0, picture->GetRasterXSize(), picture->GetRasterYSize(),
                           rgba.data(), width, height, GDT_Byte, has_alpha ? 4 : 3, band_map, 4,
                           GSpacing{4} * width, 1, &extra) == CE_None;
}

}  // namespace

OverviewLayout LayOutOverview(const std::vector<OverviewTile>& tiles, double finest_pixel_size,
                              int max_side) {
  OverviewLayout layout;
  double west = std::numeric_limits<double>::max();
  double east = std::numeric_limits<double>::lowest();
  double south = west;
  double north = east;
  for (const OverviewTile& tile : tiles) {
    west = std::min(west, tile.west);
    east = std::max(east, tile.east);
    south = std::min(south, tile.south);
    north = std::max(north, tile.north);
  }
  const double span = std::max(east - west, north - south);
  const double coarsest = span / max_side;
  const double widest = span / std::min(max_side, kLeastSide);
  double pixel_size =
      std::max(finest_pixel_size > 0 ? std::min(finest_pixel_size, widest) : widest, coarsest);
  if (!(pixel_size > 0)) pixel_size = 1;  // a survey of one point
  layout.west = west;
  layout.north = north;
  layout.pixel_size = pixel_size;
  layout.width = std::clamp(Round((east - west) / pixel_size), 1, max_side);
  layout.height = std::clamp(Round((north - south) / pixel_size), 1, max_side);
  for (const OverviewTile& tile : tiles) {
    PixelBox box;
    box.left = std::clamp(Round((tile.west - west) / pixel_size), 0, layout.width - 1);
    box.right = std::clamp(Round((tile.east - west) / pixel_size), box.left + 1, layout.width);
    box.top = std::clamp(Round((north - tile.north) / pixel_size), 0, layout.height - 1);
    box.bottom = std::clamp(Round((north - tile.south) / pixel_size), box.top + 1, layout.height);
    layout.boxes.push_back(box);
  }
  return layout;
}

Result<OverviewLayout> WriteOverviewMap(const std::vector<OverviewTile>& tiles,
                                        const std::string& png_path, int max_side) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  // The finest picture sets the pixel size; a picture that does not open is drawn grey.
  double finest = 0;
  for (const OverviewTile& tile : tiles) {
    if (tile.picture.empty()) continue;
    Result<GDALDatasetUniquePtr> picture = OpenPng(tile.picture);
    if (!picture.ok()) continue;
    const double size = (tile.east - tile.west) / (*picture)->GetRasterXSize();
    if (size > 0 && (finest == 0 || size < finest)) finest = size;
  }
  CPLErrorReset();
  OverviewLayout layout = LayOutOverview(tiles, finest, max_side);

  Canvas canvas(layout.width, layout.height);
  std::vector<unsigned char> rgba;
  for (size_t i = 0; i < tiles.size(); ++i) {
    const PixelBox& box = layout.boxes[i];
    Result<GDALDatasetUniquePtr> picture =
        tiles[i].picture.empty() ? Result<GDALDatasetUniquePtr>(EngineError("no picture"))
                                 : OpenPng(tiles[i].picture);
    if (picture.ok() && ReadPicture(**picture, box, rgba)) {
      canvas.Blend(box, rgba);
    } else {
      canvas.Fill(box, kNoOutputs);
    }
  }
  CPLErrorReset();
  // Outlines last, so that no neighbour's picture covers them.
  for (size_t i = 0; i < tiles.size(); ++i) {
    if (!tiles[i].failed) continue;
    const PixelBox& box = layout.boxes[i];
    const int smaller = std::min(box.right - box.left, box.bottom - box.top);
    canvas.Outline(box, smaller >= 8 ? 2 : 1, kFailed);
  }
  if (Status s = canvas.WritePngFile(layout.height, png_path); !s.ok()) return s.error();
  return layout;
}

}  // namespace terravox::engine
