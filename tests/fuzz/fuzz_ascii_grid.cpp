// Fuzz target: the strict ESRI ASCII grid reader. Whatever the bytes, it reads or refuses
// without a fault; when it reads, its cells match a plain tokenisation of the rows with each
// value through strtod.
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/ascii_grid_reader.h"
#include "fuzz_reference.h"

namespace {

using terravox::engine::AsciiGridReader;
using terravox::fuzz::Mismatch;

constexpr float kMarker = -std::numeric_limits<float>::max();

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// The values after the header: the header is the leading lines that are empty or begin (after
// blanks) with a letter.
std::vector<std::string> DataTokens(std::string_view text) {
  std::vector<std::string> lines = terravox::fuzz::SplitLines(text);
  size_t first = 0;
  for (; first < lines.size(); ++first) {
    size_t i = lines[first].find_first_not_of(" \t\v\f");
    if (i == std::string::npos) continue;
    char c = lines[first][i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) break;
  }
  std::vector<std::string> tokens;
  for (size_t l = first; l < lines.size(); ++l) {
    std::string token;
    for (char c : lines[l] + " ") {
      if (IsSpace(c)) {
        if (!token.empty()) tokens.push_back(token);
        token.clear();
      } else {
        token += c;
      }
    }
  }
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // The smallest chunk, so longer inputs cross chunk edges.
  auto reader = AsciiGridReader::FromText(text, "fuzz.asc", AsciiGridReader::kMinChunkSize);
  if (!reader.ok()) {
    if (reader.error().description().empty()) Mismatch();
    return 0;
  }
  const auto& header = (*reader)->header();
  // Headers may promise rows of millions of cells; the reader's limits are tested elsewhere.
  if (static_cast<int64_t>(header.ncols) * header.nrows > 100000) return 0;
  (void)(*reader)->GeoTransform();
  std::vector<float> cells;
  std::vector<float> row(static_cast<size_t>(header.ncols));
  for (int r = 0; r < header.nrows; ++r) {
    terravox::Status s = (*reader)->ReadRow(row, kMarker);
    if (!s.ok()) {
      if (s.description().empty()) Mismatch();
      return 0;
    }
    cells.insert(cells.end(), row.begin(), row.end());
  }
  if (!(*reader)->Finish().ok()) return 0;

  std::vector<std::string> tokens = DataTokens(text);
  if (tokens.size() != cells.size()) Mismatch();
  for (size_t i = 0; i < cells.size(); ++i) {
    terravox::fuzz::ReferenceNumber number = terravox::fuzz::ReadNumberWithStrtod(tokens[i]);
    if (number.error) Mismatch();
    // The marker stands for no-data only: a value that is the marker itself is refused.
    const float value = static_cast<float>(number.value);
    if (cells[i] != kMarker && cells[i] != value) Mismatch();
  }
  return 0;
}
