// Memory estimates: the budget under a control group's memory limit (a made-up /sys/fs/cgroup
// tree), and an XYZ file's estimate from its points rather than its bytes.
#include "batch/memory_estimates.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using ::terravox::testing::WriteFile;

constexpr uint64_t kGiB = uint64_t{1} << 30;

class MemoryEstimatesTest : public ::terravox::testing::TempDirTest {};

TEST_F(MemoryEstimatesTest, BudgetIsHalfTheLowestControlGroupLimit) {
  const uint64_t machine = PhysicalMemoryBytes({PathIn("none"), PathIn("none")});
  ASSERT_GT(machine, 8 * kGiB) << "the rows take limits below the machine's memory";
  struct Row {
    const char* name;
    const char* self;                                        // /proc/self/cgroup
    std::vector<std::pair<std::string, std::string>> files;  // under the root: path, text
    uint64_t budget;
  };
  const Row rows[] = {
      {"v2, own group",
       "0::/job/step",
       {{"job/step/memory.max", "2147483648\n"}, {"job/memory.max", "max\n"}},
       kGiB},
      {"v2, a group above is lower",
       "0::/job/step",
       {{"job/step/memory.max", "max\n"}, {"job/memory.max", "1073741824\n"}},
       kGiB / 2},
      {"v2, own group mounted as the root (a container)",
       "0::/docker/abc",
       {{"memory.max", "4294967296\n"}},
       2 * kGiB},
      {"v1 memory group among others",
       "5:cpu,cpuacct:/\n4:memory:/slurm/job_7\n",
       {{"memory/slurm/job_7/memory.limit_in_bytes", "3221225472\n"}},
       3 * kGiB / 2},
      {"v1 without a limit",
       "4:memory:/slurm/job_7",
       {{"memory/slurm/job_7/memory.limit_in_bytes", "9223372036854771712\n"}},
       machine / 2},
      {"no control groups", "", {}, machine / 2},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string root = MakeDir("cgroup" + std::to_string(n++));
    WriteFile(root + "/self", row.self);
    for (const auto& [path, text] : row.files) {
      std::filesystem::create_directories(std::filesystem::path(root + "/" + path).parent_path());
      WriteFile(root + "/" + path, text);
    }
    EXPECT_EQ(MemoryBudget(RunOptions(), {root + "/self", root}), row.budget);
  }
  RunOptions given;
  given.memory_budget = 12345;
  EXPECT_EQ(MemoryBudget(given, {PathIn("none"), PathIn("none")}), 12345u);
}

TEST_F(MemoryEstimatesTest, AnXyzFileIsEstimatedByItsPointsNotItsBytes) {
  // Lines of 14 and of 27 bytes: about twice the points to the byte, about twice the estimate.
  std::string short_lines;
  std::string long_lines;
  for (int i = 0; i < 20000; ++i) short_lines += "1234 5678 90\r\n";
  for (int i = 0; i < 10000; ++i) long_lines += "512000.0 4189997.5 420.12\r\n";
  WriteFile(PathIn("short.xyz"), short_lines);
  WriteFile(PathIn("long.xyz"), long_lines);
  const uint64_t size = 1'100'000'000;  // as if the lines went on
  const uint64_t short_estimate = XyzPeakBytes(PathIn("short.xyz"), size, " ", 1);
  const uint64_t long_estimate = XyzPeakBytes(PathIn("long.xyz"), size, " ", 1);
  // 32 to 38 bytes a point were measured: 78.6 and 40.7 million points.
  EXPECT_GE(short_estimate, 38 * (size / 14));
  EXPECT_GE(long_estimate, 38 * (size / 27));
  EXPECT_LT(long_estimate, short_estimate * 6 / 10);

  // Short lines first (small coordinates), then long ones: counted over the whole file.
  WriteFile(PathIn("mixed.xyz"), short_lines + long_lines + long_lines + long_lines);
  const uint64_t points = 20000 + 3 * 10000;
  const uint64_t mixed =
      XyzPeakBytes(PathIn("mixed.xyz"), short_lines.size() + 3 * long_lines.size(), " ", 1);
  EXPECT_LT(mixed, XyzPeakBytesForPoints(points * 5 / 4));
  EXPECT_GE(mixed, XyzPeakBytesForPoints(points * 3 / 4));
}

TEST(StepPeakTest, TheFilesThatMayRunTogetherWithinTheBudget) {
  constexpr uint64_t kMiB = uint64_t{1} << 20;
  struct Row {
    const char* name;
    int threads;
    uint64_t budget;
    uint64_t peak;
  };
  const std::vector<uint64_t> estimates = {100 * kMiB, 400 * kMiB, 300 * kMiB, 200 * kMiB};
  const Row rows[] = {
      {"one thread: the largest", 1, 10000 * kMiB, 400 * kMiB},
      {"two workers and the step's thread", 2, 10000 * kMiB, 900 * kMiB},
      {"as much as the budget", 2, 600 * kMiB, 600 * kMiB},
      {"the largest alone above the budget", 4, 300 * kMiB, 400 * kMiB},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(StepPeakBytes(estimates, {row.threads, row.budget}), row.peak);
  }
}

}  // namespace
}  // namespace terravox
