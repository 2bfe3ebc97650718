#include "core/paths.h"

#include <gtest/gtest.h>

namespace terravox {
namespace {

TEST(PathsTest, BaseNameIsTheTextBeforeTheFirstDot) {
  EXPECT_EQ(BaseName("dem3.asc"), "dem3");
  EXPECT_EQ(BaseName("tile.1.xyz"), "tile");
  EXPECT_EQ(BaseName("points"), "points");
  EXPECT_EQ(BaseName(".hidden"), "");
}

TEST(PathsTest, JoinDoesNotNormalise) {
  EXPECT_EQ(JoinPath("/data/xyz", "a.xyz"), "/data/xyz/a.xyz");
  EXPECT_EQ(JoinPath("/data/xyz/", "a.xyz"), "/data/xyz//a.xyz");
  EXPECT_EQ(JoinPath("", "a"), "/a");
}

TEST(PathsTest, LastPieceSplitsAtTheLastSeparator) {
  EXPECT_EQ(LastPathPiece("/data/grid/dem3"), "dem3");
  EXPECT_EQ(LastPathPiece("dem3"), "dem3");
  EXPECT_EQ(LastPathPiece("/data/grid/"), "");
}

}  // namespace
}  // namespace terravox
