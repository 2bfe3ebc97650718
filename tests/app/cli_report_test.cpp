// terravox-cli report and run with reports and file names no one here wrote: hostile reports are
// refused or skipped, never followed, hung on or written through, and names reach the terminal
// escaped.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_process.h"
#include "cli_tiles.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::ChainOptions;
using ::terravox::testing::MakeTiles;
using ::terravox::testing::Process;
using ::terravox::testing::ReadFile;
using ::terravox::testing::RunCli;
using ::terravox::testing::TileXyz;
using ::terravox::testing::With;
using ::terravox::testing::WriteFile;

class CliReportTest : public ::terravox::testing::TempDirTest {};

TEST_F(CliReportTest, HostileReportsAreRefusedOrSkipped) {
  MakeTiles(PathIn("run"), 1, 3);
  const std::string report = PathIn("r.jsonl");
  ASSERT_EQ(RunCli(With(ChainOptions("run", PathIn("run"), PathIn("run")),
                        {"--report", report, "--log", PathIn("x.log")}),
                   MakeDir("io"))
                .exit_code,
            0);
  WriteFile(PathIn("odd.jsonl"), std::string(100000, '[') + "\n{\"step\":5}\n" + ReadFile(report));
  ASSERT_EQ(mkfifo(PathIn("fifo.jsonl").c_str(), 0600), 0);
  WriteFile(PathIn("precious"), "keep me");
  fs::create_symlink(PathIn("precious"), PathIn("link.jsonl"));
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int exit_code;
    std::string said;  // on stdout, or on stderr when the exit code is not 0
  };
  const Row rows[] = {
      {"a folder", {"report", PathIn("")}, 1, "it is not a regular file"},
      {"a FIFO", {"report", PathIn("fifo.jsonl")}, 1, "it is not a regular file"},
      {"lines that are no record", {"report", PathIn("odd.jsonl")}, 0, "2 report lines skipped"},
      {"merged into a link", {"report", report, "--merge", PathIn("link.jsonl")}, 1, "link"},
      {"resumed from a FIFO",
       With(ChainOptions("run", PathIn("run"), PathIn("run")),
            {"--report", PathIn("fifo.jsonl"), "--resume", "--log", PathIn("x.log")}),
       1, "Program is Stopped: Cannot read the report"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Process process = RunCli(row.args, MakeDir("io"));
    EXPECT_EQ(process.exit_code, row.exit_code);
    const std::string& said = row.exit_code == 0 ? process.out : process.err;
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
  }
  EXPECT_EQ(ReadFile(PathIn("precious")), "keep me");
}

TEST_F(CliReportTest, NamesReachTheTerminalEscaped) {
  MakeTiles(PathIn("run"), 0, 0);
  const std::string xyz = PathIn("run/xyz/");
  // A name that retitles the terminal, one that forges a summary line, two that are no UTF-8.
  WriteFile(xyz + "t\x1b]0;owned\x07.xyz", "0 0 high\r\n");
  WriteFile(xyz + "u\nfailures: 0.xyz", "0 0 high\r\n");
  WriteFile(xyz + "v\xff.xyz", TileXyz(0, 3));
  WriteFile(xyz + "v\xfe.xyz", TileXyz(1, 3));
  const std::string report = PathIn("r.jsonl");
  Process plan = RunCli(ChainOptions("plan", PathIn("run"), PathIn("run")), MakeDir("io"));
  Process run = RunCli(With(ChainOptions("run", PathIn("run"), PathIn("run")),
                            {"--report", report, "--log", PathIn("x.log"), "--keep-going"}),
                       MakeDir("io"));
  Process summary = RunCli({"report", report}, MakeDir("io"));
  for (const std::string& shown : {run.err, summary.out, plan.out}) {
    EXPECT_EQ(shown.find_first_of("\x1b\x07\xff\xfe"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("\nfailures: 0"), std::string::npos) << shown;
    EXPECT_NE(shown.find("t\\x1B]0;owned\\x07.xyz"), std::string::npos) << shown;
    EXPECT_NE(shown.find("u\\nfailures: 0.xyz"), std::string::npos) << shown;
  }
  EXPECT_NE(run.err.find("v\\xFF.xyz"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("v\\xFE.xyz"), std::string::npos) << run.err;
  // Both names that are no UTF-8 went through every step as tiles of their own.
  EXPECT_TRUE(fs::exists(PathIn("run/slope/v\xff")));
  EXPECT_TRUE(fs::exists(PathIn("run/slope/v\xfe")));
  EXPECT_NE(summary.out.find("tiles: 4 in the reports, 2 done in every step"), std::string::npos)
      << summary.out;

  // The folders and files the other commands name.
  const std::string clears = MakeDir("d\x1b[2J");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"clean", clears},
        {"merge-gpkg", PathIn("m.gpkg"), clears + "/none.gpkg"},
        {"report", report, "--html", clears + "/page.html"}}) {
    SCOPED_TRACE(args[0]);
    Process process = RunCli(args, MakeDir("io"));
    const std::string shown = process.out + process.err;
    EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
    EXPECT_NE(shown.find("d\\x1B[2J"), std::string::npos) << shown;
  }
}

}  // namespace
}  // namespace terravox
