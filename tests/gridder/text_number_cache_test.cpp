// TextNumberCache: a remembered number is always the number of exactly that text.
#include "gridder/text_number_cache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/number_parse.h"
#include "core/status.h"

namespace terravox {
namespace {

TEST(TextNumberCacheTest, GivesTheNumberOfExactlyThatText) {
  // Texts that share their first bytes, differ only in length, or lie at the word edges.
  const std::vector<std::string> texts = {"1",
                                          "12",
                                          "1234567",
                                          "12345678",
                                          "123456789",
                                          "512000.05",
                                          "512000.06",
                                          "4189997.5",
                                          "4189997.50",
                                          " 7",
                                          "7 ",
                                          "-0",
                                          "0",
                                          "1234567890123456",
                                          "12345678901234567",
                                          "1e3",
                                          "1E3",
                                          "0.000000000000001",
                                          "123456789012345.6",
                                          "99999999.99999999"};
  TextNumberCache cache;
  for (int round = 0; round < 3; ++round) {
    for (const std::string& text : texts) {
      SCOPED_TRACE("[" + text + "] round " + std::to_string(round));
      double value = cache.Parse(text);
      EXPECT_EQ(value, *ParseDouble(text));
      EXPECT_EQ(std::signbit(value), std::signbit(*ParseDouble(text)));
    }
  }
}

TEST(TextNumberCacheTest, TellsApartTextsThatDifferInAnyOneByte) {
  // Every length up to the longest kept, each text next to its copies with one digit changed.
  std::vector<std::string> texts;
  const std::string digits = "98765432198765432";
  for (size_t length = 1; length <= digits.size(); ++length) {
    std::string base = digits.substr(0, length);
    texts.push_back(base);
    for (size_t i = 0; i < length; ++i) {
      std::string changed = base;
      changed[i] = '0';
      texts.push_back(changed);
    }
  }
  TextNumberCache cache;
  for (int round = 0; round < 2; ++round) {
    for (const std::string& text : texts) {
      ASSERT_EQ(cache.Parse(text), *ParseDouble(text)) << text << " round " << round;
    }
  }
}

TEST(TextNumberCacheTest, TextThatIsNoNumberFailsEveryTime) {
  TextNumberCache cache;
  EXPECT_EQ(cache.Parse("1"), 1);
  for (const std::string& text : {std::string("1\0", 2), std::string("1 x"), std::string(""),
                                  std::string("12345678x"), std::string(20, '9') + "x"}) {
    for (int round = 0; round < 2; ++round) {
      try {
        cache.Parse(text);
        ADD_FAILURE() << "no error for [" << text << "]";
      } catch (const StepError& e) {
        EXPECT_EQ(e.error().kind(), ErrorKind::kTypeMismatch);
      }
    }
  }
}

TEST(TextNumberCacheTest, StaysRightPastItsLargestSize) {
  TextNumberCache cache;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 100000; ++i) {
      std::string text = std::to_string(500000 + i) + ".5";
      ASSERT_EQ(cache.Parse(text), 500000 + i + 0.5) << text;
    }
  }
}

}  // namespace
}  // namespace terravox
