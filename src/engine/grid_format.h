// The byte layout of an ESRI binary GRID (float cells, one tile of 256 x 4 blocks): block
// geometry, big-endian encoding and the fixed-size files (hdr.adf, dblbnd.adf, sta.adf, the
// 100-byte headers of w001001.adf and w001001x.adf). No I/O here.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#ifdef _MSC_VER
#include <stdlib.h>  // _byteswap_*
#endif

#include "engine/grid_writer.h"

namespace terravox::engine {

inline constexpr int kBlockWidth = 256;
inline constexpr int kBlockHeight = 4;
inline constexpr int kBlockCells = kBlockWidth * kBlockHeight;
// A float block record: a 2-byte length word, then 1024 big-endian float32.
inline constexpr int kFloatRecordBytes = 2 + kBlockCells * 4;
inline constexpr int kFloatPayloadWords = kBlockCells * 2;
// A zero-size record (padding columns outside the raster): the length word alone.
inline constexpr int kEmptyRecordBytes = 2;
inline constexpr int kFileHeaderBytes = 100;
inline constexpr int kHeaderFileBytes = 308;
inline constexpr int kIndexEntryBytes = 8;
// The float no-data value as it lies on disk.
inline constexpr std::array<uint8_t, 4> kNoDataBytes = {0xFF, 0x7F, 0xFF, 0xFF};

// How the cells of a grid fall into blocks. The whole raster is one tile of bpr x bpc blocks;
// only the first used_block_rows rows of blocks are written, bpr records each.
struct GridLayout {
  int used_block_cols = 0;  // ceil(ncols / 256)
  int used_block_rows = 0;  // ceil(nrows / 4)
  int blocks_per_row = 0;   // max(8, used_block_cols)
  int blocks_per_col = 0;   // max(512, used_block_rows)

  // Bytes of one row of block records in w001001.adf, padding records included.
  int64_t BlockRowBytes() const;
  // Entries in w001001x.adf.
  int64_t IndexEntries() const;
  // The size w001001.adf will have.
  int64_t DataFileBytes() const;
};

// REQUIRES: geometry.ncols >= 1, geometry.nrows >= 1.
GridLayout LayoutFor(const GridGeometry& geometry);

// Readers turn word offsets into 32-bit byte offsets, so one tile must stay below 4 GiB.
inline constexpr int64_t kMaxDataFileBytes = (int64_t{1} << 32) - 2;

// Statistics of the valid cells as stored; all zero when there are none.
struct GridStatistics {
  double min = 0;
  double max = 0;
  double mean = 0;
  double std_dev = 0;  // population form (divides by N)
};

std::array<uint8_t, kHeaderFileBytes> EncodeHeaderFile(const GridGeometry& geometry,
                                                       const GridLayout& layout);
std::array<uint8_t, 32> EncodeBoundsFile(const GridGeometry& geometry);
std::array<uint8_t, 32> EncodeStatisticsFile(const GridStatistics& statistics);
// The 100-byte header shared by w001001.adf and w001001x.adf; the file length is in 16-bit words.
std::array<uint8_t, kFileHeaderBytes> EncodeFileHeader(uint32_t length_words);

inline uint32_t ByteSwap32(uint32_t v) {
#ifdef _MSC_VER
  return _byteswap_ulong(v);
#else
  return __builtin_bswap32(v);
#endif
}

inline uint64_t ByteSwap64(uint64_t v) {
#ifdef _MSC_VER
  return _byteswap_uint64(v);
#else
  return __builtin_bswap64(v);
#endif
}

// Big-endian stores at p.
inline void StoreBigEndian16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

inline void StoreBigEndian32(uint8_t* p, uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) v = ByteSwap32(v);
  std::memcpy(p, &v, 4);
}

inline void StoreBigEndian64(uint8_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) v = ByteSwap64(v);
  std::memcpy(p, &v, 8);
}

inline void StoreBigEndianDouble(uint8_t* p, double v) {
  StoreBigEndian64(p, std::bit_cast<uint64_t>(v));
}

// Stores n cells as big-endian float32; NaN becomes the no-data pattern. Every other value keeps
// its exact bits (-0.0 included), so -FLT_MAX, being that pattern, reads back as no-data.
void StoreCellsBigEndian(uint8_t* out, const float* cells, int n);

// OK for "GRID", the one raster format the engine writes; a clear error for any other text.
Status CheckGridFormat(const std::string& format);

}  // namespace terravox::engine
