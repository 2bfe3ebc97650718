// AppendErrorLog: appends CR LF lines, creates the log, and never writes through a link or into
// anything but a regular file.
#include "gridder/error_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::ReadFile;
using testing::TempDirTest;
using testing::WriteFile;

using ErrorLogTest = TempDirTest;

TEST_F(ErrorLogTest, CreatesThenAppends) {
  std::string log = PathIn("x.log");
  ASSERT_TRUE(AppendErrorLog(log, "a.xyz Error-Overflow").ok());
  ASSERT_TRUE(AppendErrorLog(log, "b.xyz Error-Type mismatch").ok());
  EXPECT_EQ(ReadFile(log), "a.xyz Error-Overflow\r\nb.xyz Error-Type mismatch\r\n");
}

TEST_F(ErrorLogTest, RefusesWhatIsNotARegularFile) {
  std::string target = PathIn("target.txt");
  WriteFile(target, "keep");
  std::filesystem::create_symlink(target, PathIn("link.log"));
  std::filesystem::create_symlink(PathIn("nowhere"), PathIn("dangling.log"));
  ASSERT_EQ(::mkfifo(PathIn("fifo.log").c_str(), 0600), 0);
  struct Row {
    const char* name;
    std::string path;
    std::string reason;
  };
  const Row rows[] = {
      {"link to a file", PathIn("link.log"), "it is a symbolic link"},
      {"dangling link", PathIn("dangling.log"), "it is a symbolic link"},
      {"FIFO without reader", PathIn("fifo.log"), "it is not a regular file"},
      {"folder", MakeDir("dir.log"), "Is a directory"},
      {"missing folder", PathIn("none/x.log"), "Path not found"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Status status = AppendErrorLog(row.path, "line");
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.description(), "Cannot write the error log " + row.path + ": " + row.reason);
  }
  EXPECT_EQ(ReadFile(target), "keep");
  EXPECT_FALSE(std::filesystem::exists(PathIn("nowhere")));
}

TEST_F(ErrorLogTest, ControlCharactersAreEscapedSoOneCallIsOneLine) {
  struct Row {
    const char* name;
    std::string text;
    std::string escaped;
  };
  const Row rows[] = {
      {"plain name", "dem 1.xyz Error-Overflow", "dem 1.xyz Error-Overflow"},
      {"CR LF and a forged line", "a\r\nb.xyz Error-Overflow", "a\\r\\nb.xyz Error-Overflow"},
      {"lone LF", "a\nb", "a\\nb"},
      {"tab", "a\tb", "a\\tb"},
      {"other control bytes", "a\x01\x1B[2Jb\x7F", "a\\x01\\x1B[2Jb\\x7F"},
      {"NUL byte", std::string("a\0b", 3), "a\\x00b"},
      {"backslashes and UTF-8 pass through", "c:\\temp\\h\xC3\xB6he.xyz",
       "c:\\temp\\h\xC3\xB6he.xyz"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(EscapeControlCharacters(row.text), row.escaped);
    std::string log = PathIn("escape.log");
    std::filesystem::remove(log);
    ASSERT_TRUE(AppendErrorLog(log, row.text).ok());
    EXPECT_EQ(ReadFile(log), row.escaped + "\r\n");
  }
}

}  // namespace
}  // namespace terravox
