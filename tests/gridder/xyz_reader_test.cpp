// XyzLineReader: line ends, lines that cross piece edges, and lines too long to be XYZ lines.
#include "gridder/xyz_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/status.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::TempDirTest;
using testing::WriteFile;

class XyzReaderTest : public TempDirTest {
 protected:
  // Every line of the file at path, read in pieces of about piece_bytes; status gets the
  // reader's status at the end.
  std::vector<std::string> ReadPieceLines(const std::string& path, size_t piece_bytes,
                                          Status* status = nullptr) {
    XyzLineReader reader;
    EXPECT_TRUE(reader.Open(path).ok());
    std::vector<std::string> lines;
    ByteBuffer piece;
    while (reader.NextChunk(piece_bytes, &piece)) {
      EXPECT_FALSE(piece.empty());
      ForEachLine(std::string_view(piece.data(), piece.size()), [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
      });
    }
    if (status != nullptr) {
      *status = reader.status();
    } else {
      EXPECT_TRUE(reader.status().ok());
    }
    bytes_read_ = reader.bytes_read();
    return lines;
  }
  std::vector<std::string> ReadPieceLinesOf(const std::string& bytes, size_t piece_bytes) {
    WriteFile(PathIn("lines.txt"), bytes);
    return ReadPieceLines(PathIn("lines.txt"), piece_bytes);
  }

  size_t bytes_read_ = 0;
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
    for (size_t piece_bytes : {1, 2, 3, 5, 64, 4096}) {
      SCOPED_TRACE(std::string(row.name) + ", pieces of " + std::to_string(piece_bytes));
      // A border may fall anywhere, between a CR and its LF too.
      EXPECT_EQ(ReadPieceLinesOf(row.bytes, piece_bytes), row.lines);
    }
  }
}

TEST_F(XyzReaderTest, OpenFailuresCarryTheirDescription) {
  XyzLineReader reader;
  EXPECT_EQ(reader.Open(PathIn("missing.xyz")).description(), "File not found");
  EXPECT_EQ(reader.Open(MakeDir("sub")).description(), "Is a directory");
  ByteBuffer piece;
  EXPECT_FALSE(reader.NextChunk(1, &piece));
}

TEST_F(XyzReaderTest, ALineLongerThanAMegabyteIsRefusedAtOnce) {
  const std::string longest(kMaxXyzLineBytes, '7');
  struct Row {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;  // the lines that come before the refusal
    std::string error;               // "" when none
  };
  const Row rows[] = {
      {"a line of 1 MB", "1 2 3\r\n" + longest + "\r\n", {"1 2 3", longest}, ""},
      {"a last line of 1 MB without a line end", longest, {longest}, ""},
      {"one byte more",
       "1 2 3\r\n" + longest + "8\r\n4 5 6\r\n",
       {"1 2 3"},
       "A line longer than 1 MB starts at byte 7"},
      {"one byte more at the end",
       "1 2 3\n" + longest + "8",
       {"1 2 3"},
       "A line longer than 1 MB starts at byte 6"},
  };
  for (const Row& row : rows) {
    for (size_t piece_bytes : {size_t{4096}, size_t{3} << 20}) {
      SCOPED_TRACE(std::string(row.name) + ", pieces of " + std::to_string(piece_bytes));
      WriteFile(PathIn("lines.txt"), row.bytes);
      Status status;
      std::vector<std::string> lines = ReadPieceLines(PathIn("lines.txt"), piece_bytes, &status);
      EXPECT_EQ(lines, row.lines);
      EXPECT_EQ(status.ok() ? "" : status.description(), row.error);
    }
  }
  // A file of zeros without any line end (a sparse file) is not read to its end.
  const std::string sparse = PathIn("sparse.xyz");
  WriteFile(sparse, "");
  std::filesystem::resize_file(sparse, std::uintmax_t{256} << 20);
  Status status;
  EXPECT_TRUE(ReadPieceLines(sparse, 4096, &status).empty());
  EXPECT_EQ(status.description(), "A line longer than 1 MB starts at byte 0");
  EXPECT_LE(bytes_read_, kMaxXyzLineBytes + 8192);
}

}  // namespace
}  // namespace terravox
