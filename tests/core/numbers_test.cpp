#include "core/number_format.h"
#include "core/number_parse.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

namespace terravox {
namespace {

TEST(NumbersTest, AcceptsDecimalFormsWithBlanks) {
  struct Row {
    const char* text;
    double expected;
  };
  const Row rows[] = {
      {"0", 0},    {"12.5", 12.5}, {" 7 ", 7},     {"\t-3\t", -3},   {"+4", 4},  {"1.", 1},
      {".5", 0.5}, {"1e3", 1000},  {"1E-2", 0.01}, {"-2.5e+1", -25}, {"007", 7}, {"1e-400", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Result<double> value = ParseDouble(row.text);
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(*value, row.expected);
    EXPECT_TRUE(IsNumber(row.text));
  }
}

TEST(NumbersTest, RejectsTextsThatAreNoNumber) {
  const char* rows[] = {"",  " ", "abc", "1,5", "1 2",   "0x10", "inf", "nan", "1e",    "e5",
                        ".", "+", "--1", "1e+", "1.2.3", "5m",   "\n1", "1\r", "1 000", "١"};
  for (const char* text : rows) {
    SCOPED_TRACE(text);
    Result<double> value = ParseDouble(text);
    ASSERT_FALSE(value.ok());
    EXPECT_EQ(value.error().kind(), ErrorKind::kTypeMismatch);
    EXPECT_FALSE(IsNumber(text));
  }
}

TEST(NumbersTest, ValuesBeyondTheRangeOverflow) {
  EXPECT_EQ(ParseDouble("1e400").error().description(), "Overflow");
  EXPECT_EQ(ParseDouble("-1e309").error().kind(), ErrorKind::kOverflow);
  EXPECT_EQ(ParseSingle("3.5e38").error().kind(), ErrorKind::kOverflow);
  EXPECT_FALSE(IsNumber("1e400"));
  Result<float> tiny = ParseSingle("-1e-50");
  ASSERT_TRUE(tiny.ok());
  EXPECT_EQ(*tiny, 0.0f);
  EXPECT_TRUE(std::signbit(*tiny));
}

TEST(NumbersTest, SingleIsRoundedOnceFromTheText) {
  // Text to double to float would round twice; this value lies just above a float midpoint.
  Result<float> value = ParseSingle("1.00000005960464477539062500001");
  ASSERT_TRUE(value.ok());
  EXPECT_EQ(*value, std::nextafter(1.0f, 2.0f));
  EXPECT_EQ(*ParseSingle("0.1"), 0.1f);
}

TEST(NumbersTest, FormatsLikeGeneralFormat) {
  struct Row {
    double value;
    const char* expected;
  };
  const Row rows[] = {
      {-9999, "-9999"},
      {12.5, "12.5"},
      {0.1 + 0.2, "0.3"},
      {1e-5, "1E-05"},
      {1e15, "1E+15"},
      {-0.0, "0"},
      {0, "0"},
      {123456789012345, "123456789012345"},
      {100 - 0.1f / 2.0, "99.9499999992549"},
      {0.0001, "0.0001"},
      {-1.5e-7, "-1.5E-07"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected);
    EXPECT_EQ(FormatDouble(row.value), row.expected);
  }
  EXPECT_EQ(FormatSingle(0.1f), "0.1");
  EXPECT_EQ(FormatSingle(0.7f), "0.7");
  EXPECT_EQ(FormatSingle(1e7f), "1E+07");
  EXPECT_EQ(FormatSingle(-0.0f), "0");
}

TEST(NumbersTest, FormatsDoublesExactlyAsTheCLibrary) {
  // The C library's %.15G is the judge, over every kind of double: few and many digits, all
  // exponents, and values next to the points where rounding changes the exponent.
  std::vector<double> values = {0.1,      1e-4,   9.99999999999999e-5,    99999.99999999999,
                                1e15 - 1, 1e15,   999999999999999.4,      999999999999999.6,
                                2.5e-300, 5e-324, 1.7976931348623157e308, 123456.75};
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    uint64_t bits = random();
    values.push_back(std::bit_cast<double>(bits));  // any finite double
    values.push_back(static_cast<double>(static_cast<int64_t>(bits % 2000000001) - 1000000000) /
                     std::pow(10.0, static_cast<double>(bits % 23)));  // short decimals
    // Whole hundredths, the heights of most survey files, up to and past 1e13.
    values.push_back(
        static_cast<double>(static_cast<int64_t>(bits % 4000000000000001) - 2000000000000000) /
        100);
    values.push_back(static_cast<double>(static_cast<int64_t>(bits % 20001) - 10000) / 100);
  }
  for (double value : {0.01, -0.05, 0.1, -0.1, 0.5, 1.0, -9999.0, 391.9, 391.75, 100.05,
                       9999999999999.99, 10000000000000.01, -0.004, 0.015}) {
    values.push_back(value);
  }
  for (double value : values) {
    if (!std::isfinite(value)) continue;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.15G", value == 0 ? 0.0 : value);
    ASSERT_EQ(FormatDouble(value), expected) << "for the bits of " << value;
  }
}

TEST(NumbersTest, CountersCarryTheSignPlace) {
  EXPECT_EQ(FormatCounter(3), " 3");
  EXPECT_EQ(FormatCounter(12), " 12");
  EXPECT_EQ(FormatCounter(-3), "-3");
}

}  // namespace
}  // namespace terravox
