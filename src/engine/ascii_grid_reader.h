// AsciiGridReader: a strict reader of ESRI ASCII grids, row by row in bounded memory. It reads
// the one file it is given and follows no path written inside it; no GDAL.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/status.h"

namespace terravox::engine {

// The no-data value of a grid whose header gives none, as the format's description defines it.
inline constexpr double kDefaultAsciiNoData = -9999;

// The header as the file gives it. Keys are case-insensitive and come in any order: ncols,
// nrows, xllcorner and yllcorner (or xllcenter and yllcenter), cellsize (or dx and dy), and an
// optional NODATA_value.
struct AsciiGridHeader {
  int ncols = 0;
  int nrows = 0;
  double cell_width = 0;   // cellsize, or dx
  double cell_height = 0;  // cellsize, or dy
  double x = 0;            // xllcorner, or xllcenter when centred
  double y = 0;            // yllcorner, or yllcenter when centred
  bool centred = false;    // x and y name the centre of the south-west cell
  // NODATA_value, or the format's default when the header has no such line.
  double nodata = kDefaultAsciiNoData;
};

// The largest ncols and nrows read: one row of cells stays a few tens of megabytes.
inline constexpr int kMaxAsciiGridSide = 10'000'000;

class AsciiGridReader {
 public:
  // Where the reader takes its bytes from: a file, or a text in memory (tests, fuzzing).
  class Source {
   public:
    virtual ~Source() = default;
    // Up to size bytes from offset into buffer; 0 at the end.
    virtual Result<size_t> ReadAt(uint64_t offset, char* buffer, size_t size) = 0;
  };

  // Opens a regular file and reads its header. Fails with the system's error when the file
  // cannot be opened, and with a description naming the file and line when it is no regular
  // file or its header is bad.
  static Result<std::unique_ptr<AsciiGridReader>> Open(const std::string& path);
  // The same for a text in memory; name stands for the file in descriptions. chunk_size: bytes
  // buffered at a time (at least kMinChunkSize), small in tests to cross chunk edges.
  static Result<std::unique_ptr<AsciiGridReader>> FromText(std::string text, std::string name,
                                                           size_t chunk_size = kChunkSize);

  static constexpr size_t kChunkSize = size_t{1} << 20;
  // Room for the longest value the reader takes (1000 characters) and its neighbours.
  static constexpr size_t kMinChunkSize = 2048;

  ~AsciiGridReader();
  AsciiGridReader(const AsciiGridReader&) = delete;
  AsciiGridReader& operator=(const AsciiGridReader&) = delete;

  const AsciiGridHeader& header() const { return header_; }

  // The raster's geotransform (west edge, cell width, 0, north edge, 0, -cell height) computed
  // exactly as GDAL's reader of the format computes it, so converted rasters keep their bounds.
  std::array<double, 6> GeoTransform() const;

  // Reads the next row, north to south, into row (ncols cells): a no-data cell becomes
  // nodata_marker, every other cell its value as single precision. A row may run over several
  // lines but ends at a line end. Fails, naming the file, row and line, on a cell that is not a
  // number, a value beyond single precision or so small that single precision holds it as 0
  // (its subnormal values are kept), a value that is nodata_marker itself without being the
  // grid's no-data value, a row with too few or too many values, a line longer than a row of
  // ncols values may be (RowLineLimit), or a file that ends early.
  // REQUIRES: row.size() == ncols, fewer than nrows rows read so far.
  Status ReadRow(std::span<float> row, float nodata_marker);
  // REQUIRES: all rows read. Fails when anything but blanks follows the last row.
  Status Finish();

  // The longest line a row of ncols values may take: kMaxRowBytesPerValue bytes a value, and room
  // for one value of the longest kind. A longer line is refused as soon as it passes the limit,
  // so a file of endless blanks (a sparse file) costs no more than this.
  static uint64_t RowLineLimit(int ncols);
  static constexpr uint64_t kMaxRowBytesPerValue = 100;

 private:
  // How cells are compared with the no-data value: GDAL types the band as Int32 when no cell
  // and no no-data text holds a point or an exponent, Float64 for a no-data value beyond
  // single precision, Float32 otherwise, and compares in that type.
  enum class CellType { kInt32, kFloat32, kFloat64 };

  AsciiGridReader(std::unique_ptr<Source> source, std::string name, size_t chunk_size);

  Status ReadHeader();
  void ChooseCellType(const std::string& nodata_text);
  Result<bool> DataHasFractions(uint64_t data_offset);
  // Settles the band's type from the rest of the data when a cell's value depends on it.
  Status SettleCellType(std::string_view token, double value);
  // Skips blanks (not line ends); fails when the line then passes limit bytes.
  Status SkipBlanks(uint64_t limit);
  Error LineTooLong(uint64_t limit) const;
  uint64_t Offset() const { return buffer_offset_ + pos_; }
  // Refills the buffer, keeping its unread bytes; at the end of the source it adds none.
  Status Fill();
  // REQUIRES: a line end at pos_. Consumes it (CR LF as one) and counts the line.
  Status SkipLineEnd();
  Result<std::string> ReadHeaderLine();
  Status StoreCell(std::string_view token, float& cell, float nodata_marker, int row, int column);
  Error Fault(long long line, const std::string& detail) const;

  std::unique_ptr<Source> source_;
  std::string name_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
  uint64_t buffer_offset_ = 0;  // file offset of buffer_[0]
  bool at_end_ = false;
  long long line_ = 1;
  uint64_t line_start_ = 0;  // file offset of the current line's first byte
  int rows_read_ = 0;
  AsciiGridHeader header_;
  CellType cell_type_ = CellType::kInt32;
  // Whether cell_type_ is final. A band typed Int32 by its header turns Float32 when a fraction
  // appears anywhere in the data; that is learnt from the cells as they come, and the rest of
  // the file is scanned ahead only for a cell whose value would depend on it.
  bool type_settled_ = false;
  double nodata_compare_ = 0;  // the no-data value as GDAL compares it
};

}  // namespace terravox::engine
