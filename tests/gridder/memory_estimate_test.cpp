// StreamedGriddingPeakBytes: a lattice written row by row is estimated at what streaming it holds,
// whatever its size; any other file is left to the estimate of reading it whole.
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
    bool streamed;
  };
  const std::string big_rows = Lattice(1500, false);  // 34 MB
  const std::string shuffled = Lattice(300, true);
  const Row rows[] = {
      {"a small lattice", Lattice(20, false), true},
      {"a large lattice", big_rows, true},
      {"shuffled", shuffled, false},
      {"a bad first line", "x\r\n" + big_rows, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(PathIn("p.xyz"), row.xyz);
    const std::optional<uint64_t> estimate = StreamedGriddingPeakBytes(PathIn("p.xyz"), " ", 2);
    ASSERT_EQ(estimate.has_value(), row.streamed);
    if (row.streamed) {
      EXPECT_GE(*estimate, 16 * kMegabyte);
      EXPECT_LE(*estimate, 64 * kMegabyte);
    }
  }
  EXPECT_FALSE(StreamedGriddingPeakBytes(PathIn("missing.xyz"), " ", 1).has_value());
}

}  // namespace
}  // namespace terravox
