// XYZ2ASCII: one gridder call per listed file, captions, old outputs, and what stops the loop.
#include "batch/xyz2ascii.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::FakeHost;
using testing::ReadFile;
using testing::TempDirTest;
using testing::WriteFile;

// A 2 x 1 lattice whose cells both hold z.
std::string TwoPoints(const std::string& z) { return "0 0 " + z + "\r\n10 0 " + z + "\r\n"; }

class Xyz2AsciiTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    host_.values.xyz_folder = MakeDir("xyz");
    host_.values.ascii_folder = MakeDir("ascii");
    options_.error_log_path = PathIn("xyz2ascii.log");
    mdl_.bRunOk = true;
  }

  void AddXyz(const std::string& name, const std::string& text) {
    WriteFile(PathIn("xyz/" + name), text);
  }
  std::string Ascii(const std::string& name) const { return PathIn("ascii/" + name); }
  // The last grid line of an output (its only row here).
  std::string GridRow(const std::string& name) const {
    std::string text = ReadFile(Ascii(name));
    std::string body = text.substr(0, text.size() - 2);
    return body.substr(body.rfind("\r\n") + 2);
  }
  std::vector<std::string> AsciiNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(PathIn("ascii"))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  Status Run() { return XYZ2ASCII(host_, mdl_, options_); }

  FakeHost host_;
  BatchMdl mdl_;
  RunOptions options_;
};

TEST_F(Xyz2AsciiTest, CaptionsCountEachFileOfTheTotal) {
  for (int i = 1; i <= 9; ++i) AddXyz("t" + std::to_string(i) + ".xyz", TwoPoints("1"));
  ASSERT_TRUE(Run().ok());
  std::vector<std::string> expected;
  for (int i = 1; i <= 9; ++i) {
    expected.push_back("Running : XYZ-->ASCII( " + std::to_string(i) + "/ 9)   t" +
                       std::to_string(i) + ".xyz");
  }
  EXPECT_EQ(host_.captions, expected);
  EXPECT_EQ(host_.repaint_count, 9);
  EXPECT_EQ(AsciiNames().size(), 9u);
  EXPECT_TRUE(mdl_.bRunOk);
}

TEST_F(Xyz2AsciiTest, FoldersAreReadAsTheLoopNeedsThem) {
  AddXyz("a.xyz", TwoPoints("1"));
  AddXyz("b.xyz", TwoPoints("2"));
  ASSERT_TRUE(Run().ok());
  EXPECT_EQ(std::count(host_.reads.begin(), host_.reads.end(), "AsciiFolder"),
            1);  // once, at start
  EXPECT_EQ(host_.FolderList().Path(), host_.values.xyz_folder);
}

TEST_F(Xyz2AsciiTest, EmptyFolderTouchesNothing) {
  host_.SetStatus("before");
  host_.captions.clear();
  ASSERT_TRUE(Run().ok());
  EXPECT_TRUE(host_.captions.empty());
  EXPECT_EQ(host_.StatusText(), "before");
  EXPECT_EQ(host_.repaint_count, 0);
  EXPECT_TRUE(AsciiNames().empty());
  EXPECT_FALSE(std::filesystem::exists(options_.error_log_path));
}

TEST_F(Xyz2AsciiTest, EveryFileIsPassedOnAndItsOldOutputDeleted) {
  AddXyz("readme.txt", "hello world\r\n");
  WriteFile(Ascii("readme.asc"), "old grid");
  ASSERT_TRUE(Run().ok());
  EXPECT_FALSE(std::filesystem::exists(Ascii("readme.asc")));
  EXPECT_EQ(ReadFile(options_.error_log_path),
            PathIn("xyz") + "/readme.txt Error-Type mismatch\r\n");
  EXPECT_FALSE(mdl_.bRunOk);
}

TEST_F(Xyz2AsciiTest, OutputNamesComeFromTheBaseName) {
  AddXyz("tile.1.xyz", TwoPoints("1"));
  AddXyz("tile.2.xyz", TwoPoints("2"));
  AddXyz("points", TwoPoints("3"));
  ASSERT_TRUE(Run().ok());
  EXPECT_EQ(AsciiNames(), (std::vector<std::string>{"points.asc", "tile.asc"}));
  EXPECT_EQ(GridRow("tile.asc"), "2 2");  // the later file in name order wins
  EXPECT_EQ(GridRow("points.asc"), "3 3");
}

TEST_F(Xyz2AsciiTest, InputNamedLikeItsOutputIsKept) {
  // One folder for both: dem.asc would be its own old output.
  host_.values.ascii_folder = host_.values.xyz_folder;
  AddXyz("dem.asc", TwoPoints("1"));
  ASSERT_TRUE(Run().ok());
  EXPECT_EQ(ReadFile(PathIn("xyz/dem.asc")), TwoPoints("1"));
  EXPECT_EQ(ReadFile(options_.error_log_path),
            PathIn("xyz") + "/dem.asc Error-The output file is the input file\r\n");
  EXPECT_FALSE(mdl_.bRunOk);
}

TEST_F(Xyz2AsciiTest, HiddenFilesAreNotListed) {
  // A name beginning with "." is hidden here, so ".x" is never gridded into ".asc".
  AddXyz(".x", TwoPoints("1"));
  ASSERT_TRUE(Run().ok());
  EXPECT_TRUE(host_.captions.empty());
  EXPECT_TRUE(AsciiNames().empty());
}

TEST_F(Xyz2AsciiTest, FailingFileDoesNotStopTheOthers) {
  AddXyz("a.xyz", TwoPoints("1"));
  AddXyz("b.xyz", "0 0\r\n");
  AddXyz("c.xyz", TwoPoints("3"));
  AddXyz("d.xyz", "0;0;1\r\n");  // no blank: the format message
  AddXyz("e.xyz", TwoPoints("5"));
  ASSERT_TRUE(Run().ok());
  EXPECT_EQ(AsciiNames(), (std::vector<std::string>{"a.asc", "c.asc", "e.asc"}));
  EXPECT_EQ(host_.captions.size(), 7u);  // five captions and two emptyings
  EXPECT_EQ(host_.messages.size(), 1u);
  EXPECT_FALSE(mdl_.bRunOk);
  EXPECT_EQ(host_.StatusText(), "Running : XYZ-->ASCII( 5/ 5)   e.xyz");
}

TEST_F(Xyz2AsciiTest, MissingXyzFolderEscapes) {
  host_.values.xyz_folder = PathIn("none");
  Status status = Run();
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.description(), "Path not found");
  EXPECT_TRUE(host_.captions.empty());
}

TEST_F(Xyz2AsciiTest, UnwritableLogStopsTheLoop) {
  options_.error_log_path = PathIn("none/xyz2ascii.log");
  AddXyz("a.xyz", "bad line\r\n");
  AddXyz("b.xyz", TwoPoints("2"));
  Status status = Run();
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.description(),
            "Cannot write the error log " + options_.error_log_path + ": Path not found");
  EXPECT_EQ(host_.captions.size(), 1u);
  EXPECT_TRUE(AsciiNames().empty());
}

}  // namespace
}  // namespace terravox
