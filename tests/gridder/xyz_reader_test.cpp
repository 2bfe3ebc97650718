// XyzLineReader: line ends and lines that cross block edges.
#include "gridder/xyz_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::TempDirTest;
using testing::WriteFile;

class XyzReaderTest : public TempDirTest {
 protected:
  // Every line of a file holding bytes, read with the given block size.
  std::vector<std::string> ReadLines(const std::string& bytes, size_t block_size) {
    WriteFile(PathIn("lines.txt"), bytes);
    XyzLineReader reader(block_size);
    EXPECT_TRUE(reader.Open(PathIn("lines.txt")).ok());
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(&line)) lines.emplace_back(line);
    EXPECT_TRUE(reader.status().ok());
    return lines;
  }

  // Every line of a file holding bytes, read in pieces of about piece_bytes.
  std::vector<std::string> ReadPieceLines(const std::string& bytes, size_t piece_bytes) {
    WriteFile(PathIn("lines.txt"), bytes);
    XyzLineReader reader;
    EXPECT_TRUE(reader.Open(PathIn("lines.txt")).ok());
    std::vector<std::string> lines;
    ByteBuffer piece;
    while (reader.NextChunk(piece_bytes, &piece)) {
      EXPECT_FALSE(piece.empty());
      ForEachLine(std::string_view(piece.data(), piece.size()), [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
      });
    }
    EXPECT_TRUE(reader.status().ok());
    return lines;
  }
};

TEST_F(XyzReaderTest, EveryTerminatorEndsALineAtEveryBlockSize) {
  struct Row {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"empty file", "", {}},
      {"CR LF", "ab\r\ncd\r\n", {"ab", "cd"}},
      {"lone LF", "ab\ncd\n", {"ab", "cd"}},
      {"lone CR", "ab\rcd\r", {"ab", "cd"}},
      {"no last terminator", "ab\r\ncd", {"ab", "cd"}},
      {"empty lines", "\r\n\n\r\r\n", {"", "", "", ""}},
      {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
      {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
      {"trailing empty line", "a\r\n\r\n", {"a", ""}},
      {"long line", std::string(100, 'x') + "\r\ny", {std::string(100, 'x'), "y"}},
      {"CR at the end", "ab\r", {"ab"}},
      {"lone CRs in a row", "a\r\r\rb\r\n", {"a", "", "", "b"}},
  };
  for (const Row& row : rows) {
    for (size_t block_size : {1, 2, 3, 5, 64, 4096}) {
      SCOPED_TRACE(std::string(row.name) + ", block " + std::to_string(block_size));
      EXPECT_EQ(ReadLines(row.bytes, block_size), row.lines);
      // In pieces, a border may fall anywhere, between a CR and its LF too.
      EXPECT_EQ(ReadPieceLines(row.bytes, block_size), row.lines);
    }
  }
}

TEST_F(XyzReaderTest, OpenFailuresCarryTheirDescription) {
  XyzLineReader reader;
  EXPECT_EQ(reader.Open(PathIn("missing.xyz")).description(), "File not found");
  EXPECT_EQ(reader.Open(MakeDir("sub")).description(), "Is a directory");
  std::string_view line;
  EXPECT_FALSE(reader.Next(&line));
}

}  // namespace
}  // namespace terravox
