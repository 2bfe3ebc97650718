// ReadPoints: the count of data lines and its overflow, line by line and in pieces.
#include "gridder/point_reading.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/status.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::TempDirTest;
using testing::WriteFile;

class PointReadingTest : public TempDirTest {
 protected:
  // The error kind ReadPoints throws for text, "mismatch" when it returns false, or the number
  // of points read.
  std::string Read(const std::string& text, int threads, size_t piece_bytes, int32_t max_lines) {
    WriteFile(PathIn("points.xyz"), text);
    XyzLineReader reader;
    EXPECT_TRUE(reader.Open(PathIn("points.xyz")).ok());
    PointReading how;
    how.separator = " ";
    how.threads = threads;
    how.piece_bytes = piece_bytes;
    how.max_data_lines = max_lines;
    FilePoints points;
    try {
      if (!ReadPoints(reader, how, points)) return "mismatch";
    } catch (const StepError& e) {
      return e.error().description();
    }
    size_t count = 0;
    for (const PointSet& piece : points.pieces()) count += piece.size();
    return std::to_string(count) + " points";
  }
};

TEST_F(PointReadingTest, TooManyDataLinesOverflowBeforeTheLineIsRead) {
  struct Row {
    const char* name;
    std::string text;
    const char* outcome;
  };
  // At most three data lines; comment lines are not counted.
  const Row rows[] = {
      {"three lines", "1 1 1\r\n2 2 2\r\n3 3 3\r\n", "3 points"},
      {"comments are not counted", "# a\r\n1 1 1\r\n# b\r\n2 2 2\r\n3 3 3\r\n# c\r\n", "3 points"},
      {"a fourth line", "1 1 1\r\n2 2 2\r\n3 3 3\r\n4 4 4\r\n", "Overflow"},
      {"a bad fourth line", "1 1 1\r\n2 2 2\r\n3 3 3\r\nx\r\n", "Overflow"},
      {"an empty fourth line", "1 1 1\r\n2 2 2\r\n3 3 3\r\n\r\n", "Overflow"},
      {"a bad third line", "1 1 1\r\n2 2 2\r\n3 3 x\r\n4 4 4\r\n", "Type mismatch"},
      {"a third line that does not fit", "1 1 1\r\n2 2 2\r\n3\t3\t3\r\n4 4 4\r\n", "mismatch"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Read(row.text, 1, 0, 3), row.outcome);
    for (int threads : {2, 4}) {
      for (size_t piece_bytes : {1, 6, 7, 8, 20, 1000}) {
        SCOPED_TRACE(std::to_string(threads) + " threads, pieces of " +
                     std::to_string(piece_bytes));
        EXPECT_EQ(Read(row.text, threads, piece_bytes, 3), row.outcome);
      }
    }
  }
}

}  // namespace
}  // namespace terravox
