// ExpectSameFiles: two snapshots of a folder tree (path -> bytes) hold the same files, each with
// the same bytes; a difference names the file.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace terravox::testing {

inline void ExpectSameFiles(const std::map<std::string, std::string>& actual,
                            const std::map<std::string, std::string>& expected) {
  EXPECT_EQ(actual.size(), expected.size());
  for (const auto& [path, bytes] : expected) {
    auto found = actual.find(path);
    ASSERT_NE(found, actual.end()) << path;
    EXPECT_EQ(found->second, bytes) << path;
  }
}

}  // namespace terravox::testing
