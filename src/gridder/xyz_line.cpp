// Splitting an XYZ data line at the separator and reading its three numbers.
#include "gridder/xyz_line.h"

#include "core/number_parse.h"
#include "gridder/delimiter_bytes.h"
#include "gridder/plain_decimal.h"
#include "gridder/xyz_reader.h"  // ForEachLine

namespace terravox {
namespace {

// The field that starts the text: everything up to the next separator, *end telling where that
// is (npos when the field runs to the end of the text).
std::string_view FirstField(std::string_view text, std::string_view separator, size_t* end) {
  if (separator.size() == 1) {
    // The common case of one blank, tab or comma: memchr instead of a general search.
    const void* found = std::memchr(text.data(), separator[0], text.size());
    *end = found ? static_cast<size_t>(static_cast<const char*>(found) - text.data())
                 : std::string_view::npos;
  } else {
    *end = text.find(separator);
  }
  return text.substr(0, *end);
}

double ParseZ(std::string_view text) {
  double value;
  return ParsePlainDecimal(text, &value) ? value : ParseDoubleOrThrow(text);
}

}  // namespace

template <typename OnX, typename OnY, typename OnZ>
bool XyzLineParser::Split(std::string_view line, OnX&& on_x, OnY&& on_y, OnZ&& on_z) {
  // An empty line splits into no field at all, whatever the separator.
  if (line.empty()) throw StepError(ErrorKind::kSubscriptOutOfRange);
  std::string_view separator = separator_;
  if (separator.empty()) return false;
  size_t end = 0;
  std::string_view field = FirstField(line, separator, &end);
  if (end == std::string_view::npos) return false;
  on_x(field);

  std::string_view rest = line.substr(end + separator.size());
  field = FirstField(rest, separator, &end);
  on_y(field);
  if (end == std::string_view::npos) throw StepError(ErrorKind::kSubscriptOutOfRange);

  rest = rest.substr(end + separator.size());
  on_z(FirstField(rest, separator, &end));
  return true;
}

bool XyzLineParser::Parse(std::string_view line, XyzPoint* point) {
  return Split(
      line, [&](std::string_view text) { point->x = x_numbers_.Parse(text); },
      [&](std::string_view text) { point->y = y_numbers_.Parse(text); },
      [&](std::string_view text) { point->z = ParseZ(text); });
}

uint32_t XyzLineParser::MarkOf(const PointSet& points) {
  // A set met again after another one gets a new mark: its values are then found once more.
  if (points.id() != marked_set_) {
    marked_set_ = points.id();
    if (++mark_ == 0) {
      // Marks from 2^32 sets ago would pass for new ones.
      x_numbers_.ClearMarks();
      y_numbers_.ClearMarks();
      mark_ = 1;
    }
  }
  return mark_;
}

uint32_t XyzLineParser::IndexOf(TextNumberCache& cache, std::string_view text,
                                DistinctValues& values, uint32_t mark) {
  // One lookup by text gives the position: the value is looked up only once per text and set.
  TextNumberCache::Number& number = cache.Find(text);
  if (number.mark != mark) {
    number.mark_value = values.Add(number.value);
    number.mark = mark;
  }
  return number.mark_value;
}

XyzLineParser::Lines XyzLineParser::ParseLines(std::string_view text, PointSet& points) {
  Lines lines;
  try {
    if (separator_.size() == 1 && separator_[0] != '\r' && separator_[0] != '\n') {
      ParseLinesOneByte(text, points, lines);
      return lines;
    }
    DistinctValues& x_values = points.mutable_distinct_x();
    DistinctValues& y_values = points.mutable_distinct_y();
    const uint32_t mark = MarkOf(points);
    ForEachLine(text, [&](std::string_view line) {
      if (IsCommentLine(line)) return true;
      ++lines.data_lines;
      uint32_t x_index = 0;
      uint32_t y_index = 0;
      double z = 0;
      if (!Split(
              line, [&](std::string_view t) { x_index = IndexOf(x_numbers_, t, x_values, mark); },
              [&](std::string_view t) { y_index = IndexOf(y_numbers_, t, y_values, mark); },
              [&](std::string_view t) { z = ParseZ(t); })) {
        lines.mismatch = true;
        return false;
      }
      points.Add(x_index, y_index, z);
      return true;
    });
  } catch (const StepError& e) {
    lines.failure = e.error();
  }
  return lines;
}

void XyzLineParser::ParseLinesOneByte(std::string_view text, PointSet& points, Lines& lines) {
  // The same rules as ForEachLine and Split, with every CR, LF and separator of the text found
  // by DelimiterBytes: a field is the text up to the next of them.
  DistinctValues& x_values = points.mutable_distinct_x();
  DistinctValues& y_values = points.mutable_distinct_y();
  const uint32_t mark = MarkOf(points);
  DelimiterBytes delimiters(text, separator_[0]);
  const char* data = text.data();
  const size_t size = text.size();
  auto field = [data](size_t begin, size_t end) {
    return std::string_view(data + begin, end - begin);
  };
  size_t begin = 0;
  while (begin < size) {
    size_t end;  // the line's terminator, or size
    if (IsCommentLine(std::string_view(data + begin, 1))) {
      end = delimiters.NextLineEnd(begin);
    } else {
      ++lines.data_lines;
      const size_t first = delimiters.Next(begin);
      if (first == size || delimiters.IsLineEnd(first)) {
        // One field; an empty line has none at all.
        if (first == begin) throw StepError(ErrorKind::kSubscriptOutOfRange);
        lines.mismatch = true;
        return;
      }
      const uint32_t x_index = IndexOf(x_numbers_, field(begin, first), x_values, mark);
      const size_t second = delimiters.Next(first + 1);
      const uint32_t y_index = IndexOf(y_numbers_, field(first + 1, second), y_values, mark);
      if (second == size || delimiters.IsLineEnd(second)) {
        throw StepError(ErrorKind::kSubscriptOutOfRange);
      }
      const size_t third = delimiters.Next(second + 1);
      points.Add(x_index, y_index, ParseZ(field(second + 1, third)));
      end =
          third == size || delimiters.IsLineEnd(third) ? third : delimiters.NextLineEnd(third + 1);
    }
    if (end == size) break;
    begin = data[end] == '\r' && end + 1 < size && data[end + 1] == '\n' ? end + 2 : end + 1;
  }
}

}  // namespace terravox
