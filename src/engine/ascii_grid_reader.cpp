// AsciiGridReader: header lines by key, then rows of cells under the number rule, from a buffer
// refilled in chunks so memory stays small whatever the file's size.
#include "engine/ascii_grid_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

#include "core/number_format.h"
#include "core/number_parse.h"
#include "core/unique_fd.h"

namespace terravox::engine {
namespace {

// No number needs more; a longer token would only grow the buffer.
constexpr size_t kMaxTokenLength = 1000;
constexpr uint64_t kMaxHeaderLineLength = 1000;
// A whole token and the byte after it must fit in the buffer.
static_assert(AsciiGridReader::kMinChunkSize > kMaxTokenLength + 1);

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
bool IsSpace(char c) { return IsBlank(c) || IsLineEnd(c); }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

class FileSource : public AsciiGridReader::Source {
 public:
  explicit FileSource(UniqueFd fd) : fd_(std::move(fd)) {}
  Result<size_t> ReadAt(uint64_t offset, char* buffer, size_t size) override {
    for (;;) {
      ssize_t got = ::pread(fd_.get(), buffer, size, static_cast<off_t>(offset));
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) return Error::FromErrno(errno);
    }
  }

 private:
  UniqueFd fd_;
};

class TextSource : public AsciiGridReader::Source {
 public:
  explicit TextSource(std::string text) : text_(std::move(text)) {}
  Result<size_t> ReadAt(uint64_t offset, char* buffer, size_t size) override {
    if (offset >= text_.size()) return size_t{0};
    size_t count = std::min(size, text_.size() - static_cast<size_t>(offset));
    std::memcpy(buffer, text_.data() + offset, count);
    return count;
  }

 private:
  std::string text_;
};

// Text from the file as a description shows it: control characters escaped, so a hostile file
// cannot add lines to a log, and long texts cut.
std::string Shown(std::string_view text, size_t limit = 40) {
  std::string out;
  for (size_t i = 0; i < std::min(text.size(), limit); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > limit) out += "...";
  return out;
}

std::string Quoted(std::string_view text) { return "`" + Shown(text) + "'"; }

enum Key {
  kNcols,
  kNrows,
  kXllcorner,
  kYllcorner,
  kXllcenter,
  kYllcenter,
  kCellsize,
  kDx,
  kDy,
  kNodata,
  kKeyCount
};
constexpr const char* kKeyNames[kKeyCount] = {"ncols",     "nrows",       "xllcorner", "yllcorner",
                                              "xllcenter", "yllcenter",   "cellsize",  "dx",
                                              "dy",        "NODATA_value"};

// ASCII only: the user's locale must not change which keys match.
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c; }

int KeyOf(std::string_view word) {
  for (int k = 0; k < kKeyCount; ++k) {
    std::string_view name = kKeyNames[k];
    if (name.size() == word.size() &&
        std::equal(name.begin(), name.end(), word.begin(),
                   [](char a, char b) { return LowerAscii(a) == LowerAscii(b); })) {
      return k;
    }
  }
  return -1;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// The header's values and the lines they came from.
struct HeaderFields {
  std::optional<std::string> text[kKeyCount];
  long long line[kKeyCount] = {};
  bool has(Key k) const { return text[k].has_value(); }
};

}  // namespace

AsciiGridReader::AsciiGridReader(std::unique_ptr<Source> source, std::string name,
                                 size_t chunk_size)
    : source_(std::move(source)),
      name_(std::move(name)),
      buffer_(std::max(chunk_size, kMinChunkSize)) {}

AsciiGridReader::~AsciiGridReader() = default;

Result<std::unique_ptr<AsciiGridReader>> AsciiGridReader::Open(const std::string& path) {
  // Non-blocking, so a FIFO under the file's name cannot hang the open; the check below refuses it.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) return Error::FromErrno(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return Error::FromErrno(errno);
  if (!S_ISREG(st.st_mode)) {
    return Error(ErrorKind::kEngine, "`" + Shown(path, path.size()) + "' is not a regular file");
  }
  std::unique_ptr<AsciiGridReader> reader(
      new AsciiGridReader(std::make_unique<FileSource>(std::move(fd)), path, kChunkSize));
  if (Status s = reader->ReadHeader(); !s.ok()) return s.error();
  return reader;
}

Result<std::unique_ptr<AsciiGridReader>> AsciiGridReader::FromText(std::string text,
                                                                   std::string name,
                                                                   size_t chunk_size) {
  std::unique_ptr<AsciiGridReader> reader(new AsciiGridReader(
      std::make_unique<TextSource>(std::move(text)), std::move(name), chunk_size));
  if (Status s = reader->ReadHeader(); !s.ok()) return s.error();
  return reader;
}

Error AsciiGridReader::Fault(long long line, const std::string& detail) const {
  return Error(ErrorKind::kEngine, "`" + Shown(name_, name_.size()) + "', line " +
                                       std::to_string(line) + ": " + detail);
}

Error AsciiGridReader::LineTooLong(uint64_t limit) const {
  if (rows_read_ == 0) {
    return Fault(line_, "a header line longer than " + std::to_string(limit) + " characters");
  }
  return Fault(line_, "a line longer than " + std::to_string(limit) +
                          " characters, the most a row of " + std::to_string(header_.ncols) +
                          " values (ncols) may take");
}

uint64_t AsciiGridReader::RowLineLimit(int ncols) {
  return static_cast<uint64_t>(ncols) * kMaxRowBytesPerValue + kMaxTokenLength;
}

Status AsciiGridReader::Fill() {
  if (at_end_) return Status::Ok();
  if (pos_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    buffer_offset_ += pos_;
    end_ -= pos_;
    pos_ = 0;
  }
  if (end_ == buffer_.size()) return Status::Ok();
  Result<size_t> got =
      source_->ReadAt(buffer_offset_ + end_, buffer_.data() + end_, buffer_.size() - end_);
  if (!got.ok()) return got.error();
  if (*got == 0) at_end_ = true;
  end_ += *got;
  return Status::Ok();
}

Status AsciiGridReader::SkipLineEnd() {
  const char c = buffer_[pos_++];
  if (c == '\r') {
    if (pos_ == end_) {
      if (Status s = Fill(); !s.ok()) return s;
    }
    if (pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
  }
  ++line_;
  line_start_ = Offset();
  return Status::Ok();
}

Status AsciiGridReader::SkipBlanks(uint64_t limit) {
  for (;;) {
    while (pos_ < end_ && IsBlank(buffer_[pos_])) ++pos_;
    // Checked once a run of blanks: endless blanks end at the latest one buffer past the limit.
    if (Offset() - line_start_ > limit) return LineTooLong(limit);
    if (pos_ < end_) return Status::Ok();
    if (Status s = Fill(); !s.ok()) return s;
    if (pos_ == end_) return Status::Ok();
  }
}

Result<std::string> AsciiGridReader::ReadHeaderLine() {
  std::string line;
  for (;;) {
    if (pos_ == end_) {
      if (Status s = Fill(); !s.ok()) return s.error();
      if (pos_ == end_) return line;
    }
    const char c = buffer_[pos_];
    if (IsLineEnd(c)) {
      if (Status s = SkipLineEnd(); !s.ok()) return s.error();
      return line;
    }
    ++pos_;
    if (Offset() - line_start_ > kMaxHeaderLineLength) return LineTooLong(kMaxHeaderLineLength);
    line += c;
  }
}

Status AsciiGridReader::ReadHeader() {
  HeaderFields fields;
  bool any_key = false;
  for (;;) {
    // Blanks and empty lines between header lines carry nothing.
    for (;;) {
      if (Status s = SkipBlanks(kMaxHeaderLineLength); !s.ok()) return s;
      if (pos_ == end_ || !IsLineEnd(buffer_[pos_])) break;
      if (Status s = SkipLineEnd(); !s.ok()) return s;
    }
    // Header lines begin with a letter; the first line that does not holds the first row.
    if (pos_ == end_ || !IsLetter(buffer_[pos_])) break;
    const long long line = line_;
    Result<std::string> text = ReadHeaderLine();
    if (!text.ok()) return text.error();
    std::vector<std::string_view> words = Words(*text);
    int key = KeyOf(words[0]);
    if (key < 0) {
      if (!any_key) {
        return Fault(line, "not an ESRI ASCII grid: the file begins with " + Quoted(*text));
      }
      return Fault(line, Quoted(words[0]) + " is neither a header key nor a number");
    }
    std::string name = kKeyNames[key];
    if (words.size() != 2) {
      return Fault(line, "`" + name + "' takes one value: " + Quoted(*text));
    }
    if (fields.has(static_cast<Key>(key))) {
      return Fault(line, "`" + name + "' is given a second time (first on line " +
                             std::to_string(fields.line[key]) + ")");
    }
    fields.text[key] = std::string(words[1]);
    fields.line[key] = line;
    any_key = true;
  }
  if (!any_key) return Fault(line_, "not an ESRI ASCII grid: the file has no header");

  auto missing = [&](const std::string& what) { return Fault(line_, "the header has no " + what); };
  auto number = [&](Key k) -> Result<double> {
    Result<double> value = ParseDouble(*fields.text[k]);
    if (!value.ok()) {
      return Fault(fields.line[k], std::string("`") + kKeyNames[k] +
                                       "' is not a number: " + Quoted(*fields.text[k]));
    }
    return value;
  };
  auto side = [&](Key k, int& out) -> Status {
    if (!fields.has(k)) return missing(std::string("`") + kKeyNames[k] + "' line");
    Result<double> value = ParseDouble(*fields.text[k]);
    if (!value.ok() || *value != std::floor(*value) || *value < 1 || *value > kMaxAsciiGridSide) {
      return Fault(fields.line[k],
                   std::string("`") + kKeyNames[k] + "' must be a whole number from 1 to " +
                       std::to_string(kMaxAsciiGridSide) + ", not " + Quoted(*fields.text[k]));
    }
    out = static_cast<int>(*value);
    return Status::Ok();
  };
  auto cell_size = [&](Key k, double& out) -> Status {
    Result<double> value = ParseDouble(*fields.text[k]);
    if (!value.ok() || !(*value > 0)) {
      return Fault(fields.line[k], std::string("`") + kKeyNames[k] +
                                       "' must be a number greater than 0, not " +
                                       Quoted(*fields.text[k]));
    }
    out = *value;
    return Status::Ok();
  };

  if (Status s = side(kNcols, header_.ncols); !s.ok()) return s;
  if (Status s = side(kNrows, header_.nrows); !s.ok()) return s;

  if (fields.has(kCellsize)) {
    if (fields.has(kDx) || fields.has(kDy)) {
      return Fault(fields.line[kCellsize], "the header gives both `cellsize' and `dx' or `dy'");
    }
    if (Status s = cell_size(kCellsize, header_.cell_width); !s.ok()) return s;
    header_.cell_height = header_.cell_width;
  } else if (fields.has(kDx) && fields.has(kDy)) {
    if (Status s = cell_size(kDx, header_.cell_width); !s.ok()) return s;
    if (Status s = cell_size(kDy, header_.cell_height); !s.ok()) return s;
  } else {
    return missing("`cellsize' line (nor both `dx' and `dy')");
  }

  const bool corner = fields.has(kXllcorner) && fields.has(kYllcorner);
  const bool centre = fields.has(kXllcenter) && fields.has(kYllcenter);
  const bool stray = fields.has(kXllcorner) + fields.has(kYllcorner) + fields.has(kXllcenter) +
                         fields.has(kYllcenter) !=
                     2;
  if ((!corner && !centre) || stray) {
    return Fault(line_,
                 "the header must give `xllcorner' and `yllcorner', or `xllcenter' and "
                 "`yllcenter'");
  }
  header_.centred = centre;
  Result<double> x = number(centre ? kXllcenter : kXllcorner);
  if (!x.ok()) return x.error();
  Result<double> y = number(centre ? kYllcenter : kYllcorner);
  if (!y.ok()) return y.error();
  header_.x = *x;
  header_.y = *y;

  // Without a NODATA_value line the format's default holds, as if the line gave it.
  std::string nodata_text = std::to_string(static_cast<int>(kDefaultAsciiNoData));
  if (fields.has(kNodata)) {
    Result<double> nodata = number(kNodata);
    if (!nodata.ok()) return nodata.error();
    header_.nodata = *nodata;
    nodata_text = *fields.text[kNodata];
  }
  ChooseCellType(nodata_text);
  return Status::Ok();
}

void AsciiGridReader::ChooseCellType(const std::string& nodata_text) {
  cell_type_ = CellType::kInt32;
  const double nodata = header_.nodata;
  nodata_compare_ = nodata;
  if (nodata_text.find_first_of(".,") != std::string::npos || nodata < INT_MIN ||
      nodata > INT_MAX) {
    cell_type_ = CellType::kFloat32;
    if (std::fabs(nodata) < std::numeric_limits<float>::min() ||
        std::fabs(nodata) > std::numeric_limits<float>::max()) {
      cell_type_ = CellType::kFloat64;
    }
  }
  if (cell_type_ == CellType::kFloat32) {
    nodata_compare_ = static_cast<double>(static_cast<float>(nodata));
  }
  type_settled_ = cell_type_ != CellType::kInt32;
}

// Whether any byte from data_offset on is one GDAL takes for a fraction: its reader types the band
// Float32 then, and compares cells with the no-data value in single precision.
Result<bool> AsciiGridReader::DataHasFractions(uint64_t data_offset) {
  std::vector<char> chunk(buffer_.size());
  for (uint64_t offset = data_offset;;) {
    Result<size_t> got = source_->ReadAt(offset, chunk.data(), chunk.size());
    if (!got.ok()) return got.error();
    if (*got == 0) return false;
    for (size_t i = 0; i < *got; ++i) {
      char c = chunk[i];
      if (c == '.' || c == ',' || c == 'e' || c == 'E') return true;
    }
    offset += *got;
  }
}

std::array<double, 6> AsciiGridReader::GeoTransform() const {
  const AsciiGridHeader& h = header_;
  double dx = h.cell_width;
  double dy = h.cell_height;
  if (h.centred) {
    return {h.x - 0.5 * dx, dx, 0, h.y - 0.5 * dy + h.nrows * dy, 0, -dy};
  }
  // Whole-globe grids often state a cell size rounded in its last digits; GDAL takes the exact
  // 360 / ncols then, and so does this reader, so such grids keep their bounds.
  if (h.ncols % 360 == 0 && std::fabs(h.x - (-180.0)) < 1e-12 && dx == dy &&
      std::fabs(dx - (360.0 / h.ncols)) < 1e-9) {
    dx = dy = 360.0 / h.ncols;
  }
  return {h.x, dx, 0, h.y + h.nrows * dy, 0, -dy};
}

Status AsciiGridReader::SettleCellType(std::string_view token, double value) {
  if (token.find_first_of(".,eE") != std::string_view::npos) {
    cell_type_ = CellType::kFloat32;
    type_settled_ = true;
    return Status::Ok();
  }
  // A whole number reads the same in either type unless it is -0, or it is compared with a
  // no-data value beyond single precision's whole numbers.
  constexpr double kMax = std::numeric_limits<float>::max();
  const bool nodata_as_int = value == nodata_compare_;
  const bool nodata_as_float =
      static_cast<double>(static_cast<float>(std::clamp(value, -kMax, kMax))) == nodata_compare_;
  if (nodata_as_int == nodata_as_float && !(value == 0 && std::signbit(value))) {
    return Status::Ok();
  }
  // Everything before this token was blanks and whole numbers.
  Result<bool> fractions = DataHasFractions(Offset());
  if (!fractions.ok()) return fractions.error();
  if (*fractions) cell_type_ = CellType::kFloat32;
  type_settled_ = true;
  return Status::Ok();
}

Status AsciiGridReader::StoreCell(std::string_view token, float& cell, float nodata_marker, int row,
                                  int column) {
  auto fault = [&](const std::string& what) {
    return Fault(line_, "row " + std::to_string(row) + ", column " + std::to_string(column) + ": " +
                            Quoted(token) + what);
  };
  Result<double> parsed = ParseDouble(token);
  if (!parsed.ok()) {
    return fault(parsed.error().kind() == ErrorKind::kOverflow ? " is beyond single precision"
                                                               : " is not a number");
  }
  double value = *parsed;
  if (!type_settled_) {
    if (Status s = SettleCellType(token, value); !s.ok()) return s;
  }
  double compared = value;
  if (cell_type_ == CellType::kFloat32) {
    // GDAL clamps to the single range before it compares.
    constexpr double kMax = std::numeric_limits<float>::max();
    compared = static_cast<float>(std::clamp(value, -kMax, kMax));
  }
  if (compared == nodata_compare_) {
    cell = nodata_marker;
    return Status::Ok();
  }
  // A band of whole numbers holds no negative zero.
  if (cell_type_ == CellType::kInt32 && value == 0) value = 0;
  float single = static_cast<float>(value);
  if (std::isinf(single)) return fault(" is beyond single precision");
  // Subnormal singles keep fewer digits but stay values; only a value that would vanish fails.
  if (single == 0 && HasNonZeroDigit(token)) {
    return fault(" is too small for single precision, which would hold it as 0");
  }
  if (single == nodata_marker) {
    return fault(
        " equals the no-data marker of the output, so it would turn into no-data; the "
        "grid's NODATA_value is " +
        FormatDouble(header_.nodata));
  }
  cell = single;
  return Status::Ok();
}

Status AsciiGridReader::ReadRow(std::span<float> row, float nodata_marker) {
  const int ncols = header_.ncols;
  const int row_number = ++rows_read_;
  const long long first_line = line_;
  const uint64_t line_limit = RowLineLimit(ncols);
  int filled = 0;
  for (;;) {
    if (Status s = SkipBlanks(line_limit); !s.ok()) return s;
    if (pos_ == end_) {
      if (filled == ncols) return Status::Ok();
      if (filled == 0) {
        return Fault(line_, "the file ends after " + std::to_string(row_number - 1) + " of " +
                                std::to_string(header_.nrows) + " rows (nrows)");
      }
      return Fault(first_line, "row " + std::to_string(row_number) + " has only " +
                                   std::to_string(filled) + " of " + std::to_string(ncols) +
                                   " values (ncols)");
    }
    if (IsLineEnd(buffer_[pos_])) {
      if (Status s = SkipLineEnd(); !s.ok()) return s;
      // A row ends at a line end; a row still short goes on on the next line.
      if (filled == ncols) return Status::Ok();
      continue;
    }
    if (filled == ncols) {
      std::string detail = "row " + std::to_string(row_number) + " has more than " +
                           std::to_string(ncols) + " values (ncols)";
      if (first_line != line_) detail += "; the row begins on line " + std::to_string(first_line);
      return Fault(line_, detail);
    }
    // The token, whole in the buffer.
    size_t stop = pos_;
    for (;;) {
      while (stop < end_ && !IsSpace(buffer_[stop])) ++stop;
      if (stop < end_ || at_end_) break;
      const size_t length = stop - pos_;
      if (length > kMaxTokenLength) {
        return Fault(line_, "row " + std::to_string(row_number) + ": a value longer than " +
                                std::to_string(kMaxTokenLength) + " characters");
      }
      if (Status s = Fill(); !s.ok()) return s;
      stop = pos_ + length;
    }
    std::string_view token(buffer_.data() + pos_, stop - pos_);
    if (token.size() > kMaxTokenLength) {
      return Fault(line_, "row " + std::to_string(row_number) + ": a value longer than " +
                              std::to_string(kMaxTokenLength) + " characters");
    }
    if (Status s = StoreCell(token, row[filled], nodata_marker, row_number, filled + 1); !s.ok()) {
      return s;
    }
    pos_ = stop;
    ++filled;
  }
}

Status AsciiGridReader::Finish() {
  const uint64_t line_limit = RowLineLimit(header_.ncols);
  for (;;) {
    if (Status s = SkipBlanks(line_limit); !s.ok()) return s;
    if (pos_ == end_) return Status::Ok();
    if (!IsLineEnd(buffer_[pos_])) break;
    if (Status s = SkipLineEnd(); !s.ok()) return s;
  }
  size_t stop = pos_;
  while (stop < end_ && !IsSpace(buffer_[stop])) ++stop;
  return Fault(line_, "a value follows the last row (nrows " + std::to_string(header_.nrows) +
                          "): " + Quoted(std::string_view(buffer_.data() + pos_, stop - pos_)));
}

}  // namespace terravox::engine
