#include "core/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

TEST(PathsTest, AbsolutePathHasSingleSeparatorsAndNoDotPieces) {
  const std::string cwd = std::filesystem::current_path().string();
  struct Row {
    const char* path;
    std::string expected;
  };
  const Row rows[] = {
      {"/data/grid/a", "/data/grid/a"},
      {"/data/grid//a", "/data/grid/a"},
      {"/data//grid///a/", "/data/grid/a"},
      {"//data/grid", "/data/grid"},
      {"/data/./grid/.", "/data/grid"},
      {"/data/../grid", "/grid"},
      {"/data/x/../../grid/..", "/"},
      {"/..", "/"},
      {"/", "/"},
      {"g2//a", cwd + "/g2/a"},
      {"./g2/", cwd + "/g2"},
      {".", cwd},
      {"", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(AbsolutePath(row.path), row.expected);
  }
}

TEST(PathsTest, AbsolutePathKeepsTheDotDotAfterALink) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(::testing::TempDir()) / "terravox-paths-link";
  fs::remove_all(root);
  fs::create_directories(root / "real/deep");
  fs::create_directory_symlink(root / "real/deep", root / "link");
  // The system resolves link/.. to real, not to root: the text must keep saying so.
  EXPECT_EQ(AbsolutePath((root / "link/../x").string()), (root / "link/../x").string());
  EXPECT_EQ(AbsolutePath((root / "real/deep/../x").string()), (root / "real/x").string());
  fs::remove_all(root);
}

TEST(PathsTest, LastPieceSplitsAtTheLastSeparator) {
  EXPECT_EQ(LastPathPiece("/data/grid/dem3"), "dem3");
  EXPECT_EQ(LastPathPiece("dem3"), "dem3");
  EXPECT_EQ(LastPathPiece("/data/grid/"), "");
}

}  // namespace
}  // namespace terravox
