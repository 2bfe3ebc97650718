// XyzGriddingPeakBytes: a lattice written row by row is estimated at what streaming it holds,
// whatever its size; any other file at what reading it whole holds.
#include "gridder/memory_estimate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::TempDirTest;
using testing::WriteFile;

constexpr uint64_t kMegabyte = uint64_t{1} << 20;

// side x side points in rows, or shuffled by taking the rows' points in a stride.
std::string Lattice(int side, bool shuffled) {
  std::string text;
  for (int i = 0; i < side * side; ++i) {
    const int k = shuffled ? (i * 7919) % (side * side) : i;
    text += std::to_string(100 + 2 * (k % side)) + " " + std::to_string(900 - 2 * (k / side)) +
            " 12.5\r\n";
  }
  return text;
}

class MemoryEstimateTest : public TempDirTest {};

TEST_F(MemoryEstimateTest, TellsTheWayTheFileWillBeGridded) {
  struct Row {
    const char* name;
    std::string xyz;
    uint64_t at_least;
    uint64_t at_most;
  };
  const std::string big_rows = Lattice(1500, false);  // 34 MB
  const std::string shuffled = Lattice(300, true);
  const Row rows[] = {
      {"a small lattice", Lattice(20, false), 16 * kMegabyte, 64 * kMegabyte},
      {"a large lattice", big_rows, 16 * kMegabyte, 64 * kMegabyte},
      {"shuffled", shuffled, 2 * shuffled.size() + 16 * kMegabyte,
       2 * shuffled.size() + 16 * kMegabyte},
      {"a bad first line", "x\r\n" + big_rows, 2 * big_rows.size() + 16 * kMegabyte,
       2 * big_rows.size() + 20 * kMegabyte},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(PathIn("p.xyz"), row.xyz);
    const uint64_t estimate = XyzGriddingPeakBytes(PathIn("p.xyz"), " ", 2);
    EXPECT_GE(estimate, row.at_least);
    EXPECT_LE(estimate, row.at_most);
  }
  EXPECT_EQ(XyzGriddingPeakBytes(PathIn("missing.xyz"), " ", 1), 16 * kMegabyte);
}

}  // namespace
}  // namespace terravox
