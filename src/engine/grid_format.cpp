// Block geometry and the encoding of the fixed-size GRID files.
#include "engine/grid_format.h"

#include <algorithm>

namespace terravox::engine {
namespace {

// The data and index files start like a shapefile main file: int32 9994, then a magic ESRI
// tools write; readers check only the first six bytes.
constexpr std::array<uint8_t, 8> kTileMagic = {0x00, 0x00, 0x27, 0x0A, 0xFF, 0xFF, 0xFC, 0x14};
constexpr std::array<uint8_t, 8> kHeaderMagic = {'G', 'R', 'I', 'D', '1', '.', '2', 0};
constexpr int32_t kFloatCellType = 2;
constexpr int32_t kUncompressed = 1;
constexpr uint32_t kNoDataBits = 0xFF7FFFFFu;  // -FLT_MAX

int CeilDiv(int a, int b) { return a / b + (a % b != 0); }

void StoreInt32(uint8_t* p, int32_t v) { StoreBigEndian32(p, static_cast<uint32_t>(v)); }

}  // namespace

int64_t GridLayout::BlockRowBytes() const {
  return int64_t{used_block_cols} * kFloatRecordBytes +
         int64_t{blocks_per_row - used_block_cols} * kEmptyRecordBytes;
}

int64_t GridLayout::IndexEntries() const { return int64_t{used_block_rows} * blocks_per_row; }

int64_t GridLayout::DataFileBytes() const {
  return kFileHeaderBytes + int64_t{used_block_rows} * BlockRowBytes();
}

GridLayout LayoutFor(const GridGeometry& geometry) {
  GridLayout layout;
  layout.used_block_cols = CeilDiv(geometry.ncols, kBlockWidth);
  layout.used_block_rows = CeilDiv(geometry.nrows, kBlockHeight);
  // At least the 8 x 512 blocks ESRI's own small grids show, and never more than one tile, so
  // only w001001.adf and its index are ever needed.
  layout.blocks_per_row = std::max(8, layout.used_block_cols);
  layout.blocks_per_col = std::max(512, layout.used_block_rows);
  return layout;
}

std::array<uint8_t, kHeaderFileBytes> EncodeHeaderFile(const GridGeometry& geometry,
                                                       const GridLayout& layout) {
  std::array<uint8_t, kHeaderFileBytes> bytes{};
  std::copy(kHeaderMagic.begin(), kHeaderMagic.end(), bytes.begin());
  // Bytes 12-15 have no known meaning; ESRI's sample holds all ones there.
  StoreBigEndian32(&bytes[12], 0xFFFFFFFFu);
  StoreInt32(&bytes[16], kFloatCellType);
  StoreInt32(&bytes[20], kUncompressed);
  StoreBigEndianDouble(&bytes[256], geometry.cell_width);
  StoreBigEndianDouble(&bytes[264], geometry.cell_height);
  // The two reference coordinates are read by no known reader; these are the published formulas.
  double north = geometry.south + geometry.nrows * geometry.cell_height;
  StoreBigEndianDouble(
      &bytes[272], geometry.west - layout.blocks_per_row * kBlockWidth * geometry.cell_width / 2);
  StoreBigEndianDouble(
      &bytes[280], north - 3.0 * layout.blocks_per_col * kBlockHeight * geometry.cell_height / 2);
  StoreInt32(&bytes[288], layout.blocks_per_row);
  StoreInt32(&bytes[292], layout.blocks_per_col);
  StoreInt32(&bytes[296], kBlockWidth);
  StoreInt32(&bytes[300], 1);
  StoreInt32(&bytes[304], kBlockHeight);
  return bytes;
}

std::array<uint8_t, 32> EncodeBoundsFile(const GridGeometry& geometry) {
  std::array<uint8_t, 32> bytes{};
  StoreBigEndianDouble(&bytes[0], geometry.west);
  StoreBigEndianDouble(&bytes[8], geometry.south);
  StoreBigEndianDouble(&bytes[16], geometry.west + geometry.ncols * geometry.cell_width);
  StoreBigEndianDouble(&bytes[24], geometry.south + geometry.nrows * geometry.cell_height);
  return bytes;
}

std::array<uint8_t, 32> EncodeStatisticsFile(const GridStatistics& statistics) {
  std::array<uint8_t, 32> bytes{};
  StoreBigEndianDouble(&bytes[0], statistics.min);
  StoreBigEndianDouble(&bytes[8], statistics.max);
  StoreBigEndianDouble(&bytes[16], statistics.mean);
  StoreBigEndianDouble(&bytes[24], statistics.std_dev);
  return bytes;
}

std::array<uint8_t, kFileHeaderBytes> EncodeFileHeader(uint32_t length_words) {
  std::array<uint8_t, kFileHeaderBytes> bytes{};
  std::copy(kTileMagic.begin(), kTileMagic.end(), bytes.begin());
  StoreBigEndian32(&bytes[24], length_words);
  return bytes;
}

void StoreCellsBigEndian(uint8_t* out, const float* cells, int n) {
  // Branch-free so the compiler can swap many cells per instruction.
  for (int i = 0; i < n; ++i) {
    float value = cells[i];
    uint32_t bits = std::bit_cast<uint32_t>(value);
    bits = value == value ? bits : kNoDataBits;  // NaN has no place in the format
    StoreBigEndian32(out + size_t{4} * static_cast<size_t>(i), bits);
  }
}

Status CheckGridFormat(const std::string& format) {
  if (format == "GRID") return Status::Ok();
  return Error(ErrorKind::kEngine, "Unknown raster format `" + format + "': only GRID is written");
}

}  // namespace terravox::engine
