// Splitting an XYZ data line at the separator and reading its three numbers.
#include "gridder/xyz_line.h"

#include "core/number_parse.h"
#include "core/status.h"

namespace terravox {
namespace {

// The field that starts the text: everything up to the next separator.
std::string_view FirstField(std::string_view text, std::string_view separator, size_t* end) {
  *end = text.find(separator);
  return text.substr(0, *end);
}

}  // namespace

bool XyzLineParser::Parse(std::string_view line, XyzPoint* point) {
  // An empty line splits into no field at all, whatever the separator.
  if (line.empty()) throw StepError(ErrorKind::kSubscriptOutOfRange);
  std::string_view separator = separator_;
  if (separator.empty()) return false;
  size_t end = 0;
  std::string_view field = FirstField(line, separator, &end);
  if (end == std::string_view::npos) return false;
  point->x = x_numbers_.Parse(field);

  std::string_view rest = line.substr(end + separator.size());
  field = FirstField(rest, separator, &end);
  point->y = y_numbers_.Parse(field);
  if (end == std::string_view::npos) throw StepError(ErrorKind::kSubscriptOutOfRange);

  rest = rest.substr(end + separator.size());
  field = FirstField(rest, separator, &end);
  point->z = ParseDoubleOrThrow(field);
  return true;
}

}  // namespace terravox
