// The gridder's short paths for numbers: plain decimals read as the number rule reads them, and
// cell values written as the grid's general format writes them.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/number_format.h"
#include "core/number_parse.h"
#include "gridder/cell_text.h"
#include "gridder/plain_decimal.h"

namespace terravox {
namespace {

TEST(NumberTextTest, PlainDecimalsReadAsTheNumberRuleReadsThem) {
  std::vector<std::string> texts = {"0",
                                    "-0",
                                    "+1",
                                    ".5",
                                    "5.",
                                    "-.25",
                                    "391.75",
                                    "4189997.5",
                                    "9007199254740992",
                                    "9007199254740993",
                                    "1234567890123456789",
                                    "12345678901234567890",
                                    "0.0000000000000000000001",
                                    "0.00000000000000000000001",
                                    "1e5",
                                    " 1",
                                    "1 ",
                                    "",
                                    "-",
                                    ".",
                                    "1.2.3",
                                    "0x10",
                                    "+-1"};
  std::mt19937_64 random(11);
  for (int i = 0; i < 20000; ++i) {
    std::string text = random() % 3 == 0 ? "-" : "";
    const int digits = 1 + static_cast<int>(random() % 20);
    const int point = static_cast<int>(random() % (digits + 2));
    for (int d = 0; d < digits; ++d) {
      if (d == point) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    SCOPED_TRACE("[" + text + "]");
    double value = 0;
    Result<double> expected = ParseDouble(text);
    if (ParsePlainDecimal(text, &value)) {
      ASSERT_TRUE(expected.ok());
      ASSERT_EQ(std::bit_cast<uint64_t>(value), std::bit_cast<uint64_t>(*expected))
          << value << " " << *expected;
    } else {
      // Refused only where one division might not be exact: a short plain number is its case.
      ASSERT_FALSE(expected.ok() && text.size() <= 12 &&
                   text.find_first_of("e +") == std::string::npos);
    }
  }
}

TEST(NumberTextTest, CellTextsAreTheGeneralFormat) {
  std::vector<double> values = {
      0.0,  -0.0,    -9999,     0.5,   -0.5,      0.05, -0.05,  1e13,   -1e13, 9999999999999.99,
      1e-5, 123.456, 0.1 + 0.2, 1e300, -2.5e-310, 4e15, 391.75, 1.0 / 3};
  std::mt19937_64 random(5);
  for (int i = 0; i < 50000; ++i) {
    const double hundredths =
        static_cast<double>(static_cast<int64_t>(random() % 2000000000000000) - 1000000000000000);
    values.push_back(hundredths / 100);
    values.push_back(std::ldexp(static_cast<double>(random() % 1000000) - 500000,
                                static_cast<int>(random() % 80) - 40));
  }
  std::vector<double> row;
  std::string expected_line;
  for (double value : values) {
    char text[kMaxCellTextBytes];
    const char* end = WriteCellText(text, value);
    ASSERT_EQ(std::string(text, static_cast<size_t>(end - text)), FormatDouble(value)) << value;
    if (row.size() < 1000) {
      expected_line += (row.empty() ? "" : " ") + FormatDouble(value);
      row.push_back(value);
    }
  }
  ByteBuffer line;
  AppendGridLine(row.data(), row.size(), line);
  EXPECT_EQ(std::string(line.data(), line.size()), expected_line + "\r\n");
}

}  // namespace
}  // namespace terravox
