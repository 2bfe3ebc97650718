// A PNG picture read back through GDAL, pixel by pixel, paletted ones by their colours. Header
// only: the test binaries take
// *_test.cpp files.
#pragma once

#include <gdal_priv.h>

#include <array>
#include <string>
#include <vector>

namespace terravox::testing {

struct PictureReadBack {
  int width = 0;
  int height = 0;
  std::vector<std::vector<unsigned char>> bands;

  // Red, green, blue and alpha (255 for a picture without one).
  std::array<int, 4> At(int x, int y) const {
    std::array<int, 4> rgba = {0, 0, 0, 255};
    for (size_t b = 0; b < bands.size() && b < 4; ++b) {
      rgba[b] = bands[b][static_cast<size_t>(y) * width + x];
    }
    return rgba;
  }
};

inline PictureReadBack ReadPicture(const std::string& path) {
  GDALAllRegister();
  PictureReadBack picture;
  GDALDatasetUniquePtr ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!ds) return picture;
  picture.width = ds->GetRasterXSize();
  picture.height = ds->GetRasterYSize();
  for (int b = 1; b <= ds->GetRasterCount(); ++b) {
    std::vector<unsigned char> band(static_cast<size_t>(picture.width) * picture.height);
    if (ds->GetRasterBand(b)->RasterIO(GF_Read, 0, 0, picture.width, picture.height, band.data(),
                                       picture.width, picture.height, GDT_Byte, 0, 0) != CE_None) {
      return {};
    }
    picture.bands.push_back(std::move(band));
  }
  // A paletted picture as the colours of its pixels.
  if (const GDALColorTable* colours = ds->GetRasterBand(1)->GetColorTable(); colours != nullptr) {
    const std::vector<unsigned char> indexes = picture.bands[0];
    picture.bands.assign(4, std::vector<unsigned char>(indexes.size()));
    for (size_t i = 0; i < indexes.size(); ++i) {
      const GDALColorEntry* entry = colours->GetColorEntry(indexes[i]);
      const short channels[4] = {entry->c1, entry->c2, entry->c3, entry->c4};
      for (int c = 0; c < 4; ++c) picture.bands[c][i] = static_cast<unsigned char>(channels[c]);
    }
  }
  return picture;
}

}  // namespace terravox::testing
