// XyzLineParser::ParseLines: a piece parsed in one pass splits and fails as its lines parsed one by
// one do, whatever the separator and wherever the line ends and fields fall.
#include "gridder/xyz_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "gridder/xyz_reader.h"

namespace terravox {
namespace {

// What parsing a piece gave: the counts, the failure and the points, as text for comparing.
std::string Describe(const XyzLineParser::Lines& lines, const std::vector<XyzPoint>& points) {
  std::string text = std::to_string(lines.data_lines) + " data lines";
  if (lines.mismatch) text += ", mismatch";
  if (lines.failure) text += ", " + lines.failure->description();
  for (const XyzPoint& p : points) {
    text +=
        " (" + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + ")";
  }
  return text;
}

std::string LineByLine(std::string_view text, const std::string& separator) {
  XyzLineParser parser(separator);
  XyzLineParser::Lines lines;
  std::vector<XyzPoint> points;
  ForEachLine(text, [&](std::string_view line) {
    if (IsCommentLine(line)) return true;
    ++lines.data_lines;
    try {
      XyzPoint point;
      if (!parser.Parse(line, &point)) {
        lines.mismatch = true;
        return false;
      }
      points.push_back(point);
    } catch (const StepError& e) {
      lines.failure = e.error();
      return false;
    }
    return true;
  });
  return Describe(lines, points);
}

std::string InOnePass(std::string_view text, const std::string& separator) {
  XyzLineParser parser(separator);
  PointSet set;
  const XyzLineParser::Lines lines = parser.ParseLines(text, set);
  std::vector<XyzPoint> points;
  for (size_t k = 0; k < set.size(); ++k) {
    points.push_back({set.distinct_x().values()[set.x_index()[k]],
                      set.distinct_y().values()[set.y_index()[k]], set.z()[k]});
  }
  return Describe(lines, points);
}

TEST(XyzLineTest, APieceParsesAsItsLinesOneByOne) {
  const std::vector<std::string> separators = {" ", "\t", ",", "#", "\r", ", ", ""};
  const std::vector<std::string> pieces = {
      "0", "12.5", "-3", "1e3", " 7", "x",  "4189997.5",          "\r", "\n", "\r\n",
      "#", "/",    "\t", ",",   " ",  "  ", "123456789012345678", ".5", "-0"};
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    const std::string& separator = separators[random() % separators.size()];
    std::string text;
    const size_t parts = random() % 120;
    for (size_t i = 0; i < parts; ++i) {
      // Mostly well-formed lines, so that failures come late and pieces cross 64-byte blocks.
      if (random() % 4 != 0) {
        for (const std::string& part :
             {std::to_string(random() % 1000), separator, std::to_string(random() % 100), separator,
              pieces[random() % 4], std::string("\r\n")}) {
          text += part;
        }
      } else {
        text += random() % 2 ? separator : pieces[random() % pieces.size()];
      }
    }
    std::string trace = "separator [" + separator;
    trace += "] text [";
    trace += text;
    SCOPED_TRACE(trace + ']');
    ASSERT_EQ(InOnePass(text, separator), LineByLine(text, separator));
  }
}

}  // namespace
}  // namespace terravox
