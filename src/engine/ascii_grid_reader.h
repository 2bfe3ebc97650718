// AsciiGridReader: a strict reader of ESRI ASCII grids, row by row in bounded memory. It reads
// the one file it is given and follows no path written inside it; no GDAL.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/status.h"

namespace terravox::engine {

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
  std::optional<double> nodata;
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
  // number, a value beyond single precision, a row with too few or too many values, or a file
  // that ends early. REQUIRES: row.size() == ncols, fewer than nrows rows read so far.
  Status ReadRow(std::span<float> row, float nodata_marker);
  // REQUIRES: all rows read. Fails when anything but blanks follows the last row.
  Status Finish();

 private:
  // How cells are compared with the no-data value: GDAL types the band as Int32 when no cell
  // and no no-data text holds a point or an exponent, Float64 for a no-data value beyond
  // single precision, Float32 otherwise, and compares in that type.
  enum class CellType { kInt32, kFloat32, kFloat64 };

  AsciiGridReader(std::unique_ptr<Source> source, std::string name, size_t chunk_size);

  Status ReadHeader();
  void ChooseCellType(const std::string& nodata_text);
  Result<bool> DataHasFractions(uint64_t data_offset);
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
  int rows_read_ = 0;
  AsciiGridHeader header_;
  CellType cell_type_ = CellType::kInt32;
  double nodata_compare_ = 0;  // the no-data value as GDAL compares it
};

}  // namespace terravox::engine
