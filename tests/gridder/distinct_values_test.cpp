// DistinctValues: exact equality, first-appearance order, growth.
#include "gridder/distinct_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace terravox {
namespace {

TEST(DistinctValuesTest, KeepsFirstAppearanceOrderUnderExactEquality) {
  DistinctValues values;
  std::vector<uint32_t> positions;
  for (double v : {3.0, 1.0, 3.0, 0.1 + 0.2, 0.3, 1.0, 0.3, 0.3, 3.0}) {
    positions.push_back(values.Add(v));
  }
  EXPECT_EQ(values.values(), (std::vector<double>{3.0, 1.0, 0.1 + 0.2, 0.3}));
  EXPECT_EQ(positions, (std::vector<uint32_t>{0, 1, 0, 2, 3, 1, 3, 3, 0}));
}

TEST(DistinctValuesTest, ZeroAndMinusZeroAreOneValue) {
  DistinctValues values;
  values.Add(-0.0);
  values.Add(5);
  EXPECT_EQ(values.Add(0.0), 0u);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_TRUE(std::signbit(values.values()[0]));  // the first seen is kept
}

TEST(DistinctValuesTest, CountsManyValuesSeenManyTimes) {
  DistinctValues values;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(values.Add(1e6 + i * 0.25), static_cast<uint32_t>(i));
  }
  ASSERT_EQ(values.size(), 5000u);
  EXPECT_EQ(values.values()[4999], 1e6 + 4999 * 0.25);
}

}  // namespace
}  // namespace terravox
