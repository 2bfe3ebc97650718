// ConvertXyzFile spread over threads in small pieces: the grid, the log, the message box and the
// run flag are those of one thread, whatever the piece borders cut through.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "gridder/gridder.h"
#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::FakeHost;
using testing::ReadFile;
using testing::ShownMessage;
using testing::TempDirTest;
using testing::WriteFile;

// Everything a conversion leaves behind that a user can observe.
struct Outcome {
  bool converted = false;  // ConvertXyzFile returned OK
  std::string grid;        // the grid file, or "<none>"
  std::string log;         // the error log, or "<none>"
  std::vector<ShownMessage> messages;
  bool run_ok = false;
  std::string status_line;
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << "{converted " << o.converted << ", run_ok " << o.run_ok << ", status '" << o.status_line
      << "', " << o.messages.size() << " messages, log '" << o.log << "', grid '"
      << o.grid.substr(0, 400) << "'}";
}

class GridderThreadsTest : public TempDirTest {
 protected:
  // Converts xyz with the given threads and piece size, each time in a fresh folder.
  Outcome Convert(const std::string& xyz, int threads, size_t piece_bytes,
                  const std::string& cell_size = "") {
    std::string folder = MakeDir("run" + std::to_string(++runs_));
    std::string xyz_path = folder + "/points.xyz";
    std::string asc_path = folder + "/points.asc";
    WriteFile(xyz_path, xyz);
    FakeHost host;
    host.SetStatus("Running");
    if (!cell_size.empty()) {
      host.values.cell_size_given = true;
      host.values.cell_size = cell_size;
    }
    BatchMdl mdl;
    mdl.strSeparator = " ";
    mdl.bRunOk = true;
    RunOptions options;
    options.error_log_path = folder + "/xyz2ascii.log";
    options.threads_per_file = threads;
    options.gridder_chunk_bytes = piece_bytes;

    Outcome outcome;
    outcome.converted = ConvertXyzFile(xyz_path, asc_path, host, mdl, options).ok();
    outcome.grid = std::filesystem::exists(asc_path) ? ReadFile(asc_path) : "<none>";
    // The log names the input, whose folder differs from run to run.
    outcome.log = std::filesystem::exists(options.error_log_path)
                      ? ReadFile(options.error_log_path).substr(xyz_path.size())
                      : "<none>";
    outcome.messages = host.messages;
    for (ShownMessage& message : outcome.messages) {
      message.text = message.text.substr(xyz_path.size());
    }
    outcome.run_ok = mdl.bRunOk;
    outcome.status_line = host.StatusText();
    return outcome;
  }

  // Checks that every thread count and piece size gives the outcome of one thread, and returns it.
  Outcome ExpectSameOnEveryThreadCount(const std::string& xyz, const std::string& cell_size = "",
                                       const std::vector<size_t>& piece_sizes = {1, 2, 3, 5, 7, 11,
                                                                                 64}) {
    Outcome one = Convert(xyz, 1, 0, cell_size);
    for (int threads : {2, 3}) {
      for (size_t piece_bytes : piece_sizes) {
        SCOPED_TRACE("threads " + std::to_string(threads) + ", pieces of " +
                     std::to_string(piece_bytes) + " bytes");
        EXPECT_EQ(Convert(xyz, threads, piece_bytes, cell_size), one);
      }
    }
    return one;
  }

  int runs_ = 0;
};

const char kHeader3x2[] =
    "ncols         3\r\nnrows         2\r\nxllcorner     -5\r\nyllcorner     -5\r\n"
    "cellsize      10\r\nNODATA_value  -9999\r\n";

TEST_F(GridderThreadsTest, PiecesJoinInFileOrder) {
  struct Row {
    const char* name;
    std::string xyz;
    std::string cell_size;
    std::string grid;  // "<none>" when the file fails
    std::string log;   // after the file name; "<none>" when nothing is logged
  };
  const std::string lattice = "0 0 1\r\n10 0 2\r\n20 0 3\r\n0 10 4\r\n10 10 5\r\n20 10 6\r\n";
  const Row rows[] = {
      {"lattice", lattice, "", std::string(kHeader3x2) + "4 5 6\r\n1 2 3\r\n", "<none>"},
      {"duplicates across borders: the last wins", lattice + "10 0 20\r\n0 10 40\r\n10 0 21\r\n",
       "", std::string(kHeader3x2) + "40 5 6\r\n1 21 3\r\n", "<none>"},
      {"a bad line in a later piece", lattice + lattice + "10 0 x\r\n" + lattice, "", "<none>",
       " Error-Type mismatch\r\n"},
      {"the first of two bad lines decides", lattice + "1 2\r\n" + lattice + "a b c\r\n", "",
       "<none>", " Error-Subscript out of range\r\n"},
      {"a bad line before a later one", lattice + "a b c\r\n" + lattice + "1 2\r\n", "", "<none>",
       " Error-Type mismatch\r\n"},
      {"comments and lone CRs at every border",
       "# head\r0 0 1\r/ c\r\n10 0 2\r'q\n20 0 3\r\\ z\r0 10 4\n10 10 5\r20 10 6", "",
       std::string(kHeader3x2) + "4 5 6\r\n1 2 3\r\n", "<none>"},
      {"an empty line at the end", lattice + "\r\n", "", "<none>",
       " Error-Subscript out of range\r\n"},
      {"an empty line between CR and LF pairs", "0 0 1\r\r\n10 0 2\r\n", "", "<none>",
       " Error-Subscript out of range\r\n"},
      {"comments only", "# a\r\n# b\r\n", "", "<none>", " Error-Subscript out of range\r\n"},
      {"a point off the grid in a later piece", lattice + lattice + "40 0 9\r\n", "10", "<none>",
       " Error-Subscript out of range\r\n"},
      {"an overflowing row before an off-grid column", lattice + "40 -400000 1\r\n0 0 1\r\n", "10",
       "<none>", " Error-Overflow\r\n"},
      {"an off-grid point before an overflowing one",
       lattice + "40 0 1\r\n" + lattice + "0 -400000 2\r\n", "10", "<none>",
       " Error-Subscript out of range\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Outcome outcome = ExpectSameOnEveryThreadCount(row.xyz, row.cell_size);
    EXPECT_EQ(outcome.grid, row.grid);
    EXPECT_EQ(outcome.log, row.log);
  }
}

TEST_F(GridderThreadsTest, ALineThatDoesNotFitStopsAtTheFirstFailingLine) {
  const std::string lattice = "0 0 1\r\n10 0 2\r\n20 0 3\r\n0 10 4\r\n10 10 5\r\n20 10 6\r\n";
  // The separator missing from a later line: the message box, once.
  Outcome mismatch = ExpectSameOnEveryThreadCount(lattice + lattice + "0\t0\t1\r\n" + "a b c\r\n");
  ASSERT_EQ(mismatch.messages.size(), 1u);
  EXPECT_EQ(mismatch.messages[0].title, "Please Check xyz file");
  EXPECT_EQ(mismatch.log, "<none>");
  EXPECT_FALSE(mismatch.run_ok);
  // An error on an earlier line wins over the mismatch: the log, no box.
  Outcome error = ExpectSameOnEveryThreadCount(lattice + "a b c\r\n" + lattice + "0\t0\t1\r\n");
  EXPECT_TRUE(error.messages.empty());
  EXPECT_EQ(error.log, " Error-Type mismatch\r\n");
}

// A lattice of side_x x side_y points in random order with a share of repeated points, comments
// and every kind of line end, drawn from seed.
std::string RandomLattice(int side_x, int side_y, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::pair<int, int>> points;
  for (int y = 0; y < side_y; ++y) {
    for (int x = 0; x < side_x; ++x) points.emplace_back(x, y);
  }
  std::shuffle(points.begin(), points.end(), random);
  const char* ends[] = {"\r\n", "\r", "\n"};
  std::string xyz;
  for (size_t i = 0; i < points.size(); ++i) {
    const char* end = ends[random() % 3];
    if (random() % 10 == 0) xyz += std::string("# note ") + std::to_string(i) + end;
    auto [x, y] = points[random() % 8 == 0 ? random() % (i + 1) : i];  // some repeat earlier ones
    xyz += std::to_string(1000 + 2.5 * x) + " " + std::to_string(2000 + 2.5 * y) + " " +
           std::to_string(static_cast<double>(random() % 100000) / 100) + end;
  }
  return xyz;
}

TEST_F(GridderThreadsTest, GeneratedFilesGiveTheSameBytesOnEveryThreadCount) {
  struct Row {
    int side_x;
    int side_y;
    unsigned seed;
    std::vector<size_t> piece_sizes;
  };
  const Row rows[] = {
      {7, 5, 1, {1, 13, 64}},
      {40, 30, 2, {17, 256, 4096}},
      // More than one block of rows to format.
      {1000, 300, 3, {1 << 16, 1 << 20}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("lattice " + std::to_string(row.side_x) + " x " + std::to_string(row.side_y));
    std::string xyz = RandomLattice(row.side_x, row.side_y, row.seed);
    Outcome outcome = ExpectSameOnEveryThreadCount(xyz, "", row.piece_sizes);
    EXPECT_TRUE(outcome.run_ok);
    EXPECT_NE(outcome.grid, "<none>");
  }
}

}  // namespace
}  // namespace terravox
