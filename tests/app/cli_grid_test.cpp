// terravox-cli grid, run as a process: exit codes, files, and what it prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_process.h"
#include "support/leftovers.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::EndedProcess;
using testing::EntryNames;
using testing::Process;
using testing::ReadFile;
using testing::RunCli;
using testing::RunningChild;
using testing::SeedTemporaries;
using testing::TempDirTest;
using testing::WriteFile;

constexpr char kLattice[] = "0 0 1\r\n10 0 2\r\n20 0 3\r\n0 10 4\r\n10 10 5\r\n20 10 6\r\n";
constexpr char kLatticeGrid[] =
    "ncols         3\r\nnrows         2\r\nxllcorner     -5\r\nyllcorner     -5\r\n"
    "cellsize      10\r\nNODATA_value  -9999\r\n4 5 6\r\n1 2 3\r\n";

class CliGridTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    in_ = PathIn("in.xyz");
    out_ = PathIn("out.asc");
    log_ = PathIn("x.log");
  }

  // Runs the program with args, its output and errors caught in files.
  Process Run(const std::vector<std::string>& args) { return RunCli(args, dir().string()); }

  std::string in_;
  std::string out_;
  std::string log_;
};

TEST_F(CliGridTest, GridsTheFileAndExitsZero) {
  WriteFile(in_, kLattice);
  Process run = Run({"grid", in_, out_, "--log", log_});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(out_), kLatticeGrid);
  EXPECT_FALSE(std::filesystem::exists(log_));
}

TEST_F(CliGridTest, OptionsChooseCellSizeAndSeparator) {
  struct Row {
    const char* name;
    std::string xyz;
    std::vector<std::string> options;
  };
  const Row rows[] = {
      {"TAB",
       "0\t0\t1\r\n10\t0\t2\r\n20\t0\t3\r\n0\t10\t4\r\n10\t10\t5\r\n20\t10\t6\r\n",
       {"--separator", "TAB"}},
      {"comma, = form",
       "0,0,1\r\n10,0,2\r\n20,0,3\r\n0,10,4\r\n10,10,5\r\n20,10,6\r\n",
       {"--separator=,"}},
      {"Space by name", kLattice, {"--separator", "Space"}},
      {"given cell size", kLattice, {"--cell-size", "10"}},
      {"one thread", kLattice, {"--threads", "1"}},
      {"three threads", kLattice, {"--threads", "3"}},
      {"every core", kLattice, {"--threads", "0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(in_, row.xyz);
    std::vector<std::string> args{"grid", in_, out_, "--log", log_};
    args.insert(args.end(), row.options.begin(), row.options.end());
    Process run = Run(args);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(ReadFile(out_), kLatticeGrid);
  }
}

TEST_F(CliGridTest, InMemoryGivesTheStreamedGridOfTheSampleTiles) {
  for (const auto& entry : std::filesystem::directory_iterator(TERRAVOX_SOURCE_DIR "/examples")) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::string in = entry.path().string();
    ASSERT_EQ(Run({"grid", in, out_, "--log", log_}).exit_code, 0);
    ASSERT_EQ(Run({"grid", in, PathIn("whole.asc"), "--log", log_, "--in-memory"}).exit_code, 0);
    EXPECT_EQ(ReadFile(out_), ReadFile(PathIn("whole.asc")));
  }
}

TEST_F(CliGridTest, RemovesWhatEndedRunsLeftInTheOutputFolder) {
  WriteFile(in_, kLattice);
  RunningChild child;
  const testing::SeededFolder seeded = SeedTemporaries(MakeDir("out"), EndedProcess(), child.tag());

  Process run = Run({"grid", in_, PathIn("out/out.asc"), "--log", log_});

  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> expected = seeded.kept;
  expected.emplace_back("out.asc");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(EntryNames(PathIn("out")), expected);
}

TEST_F(CliGridTest, ExistingOutputIsReplaced) {
  WriteFile(in_, kLattice);
  WriteFile(out_, std::string(1000, 'x'));
  EXPECT_EQ(Run({"grid", in_, out_, "--log", log_}).exit_code, 0);
  EXPECT_EQ(ReadFile(out_), kLatticeGrid);
}

TEST_F(CliGridTest, FailedConversionExitsOneAndSaysWhy) {
  struct Row {
    const char* name;
    std::vector<std::string> options;
    std::string xyz;
    std::string err;
    std::string log;
  };
  const Row rows[] = {
      {"separator missing",
       {"--separator", "TAB"},
       kLattice,
       "Please Check xyz file: " + in_ + " does not fit the format you setting!\n",
       ""},
      {"not a number",
       {},
       "a b c\r\n",
       in_ + " Error-Type mismatch\n",
       in_ + " Error-Type mismatch\r\n"},
      {"zero cell size",
       {"--cell-size", "0"},
       kLattice,
       in_ + " Error-Division by zero\n",
       in_ + " Error-Division by zero\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(log_);
    WriteFile(in_, row.xyz);
    WriteFile(out_, "old");
    std::vector<std::string> args{"grid", in_, out_, "--log", log_};
    args.insert(args.end(), row.options.begin(), row.options.end());
    Process run = Run(args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(ReadFile(log_), row.log);
    EXPECT_FALSE(std::filesystem::exists(out_));  // the old output went first
  }
}

TEST_F(CliGridTest, InputGivenAsOutputIsKept) {
  WriteFile(in_, kLattice);
  Process run = Run({"grid", in_, in_, "--log", log_});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, in_ + " Error-The output file is the input file\n");
  EXPECT_EQ(ReadFile(in_), kLattice);
}

TEST_F(CliGridTest, UnwritableLogExitsOneNamingTheLog) {
  WriteFile(in_, "a b c\r\n");
  std::string log = PathIn("none/x.log");
  Process run = Run({"grid", in_, out_, "--log", log});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, in_ + " Error-Type mismatch\n" + "terravox-cli: Cannot write the error log " +
                         log + ": Path not found\n");
}

TEST_F(CliGridTest, BadUsageExitsTwoWithTheUsage) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string first_line;
  };
  const Row rows[] = {
      {"no command", {}, "terravox-cli: no command given"},
      {"unknown command", {"gird", "a", "b"}, "terravox-cli: unknown command gird"},
      {"one file", {"grid", "a"}, "terravox-cli: grid takes an input and an output file"},
      {"three files",
       {"grid", "a", "b", "c"},
       "terravox-cli: grid takes an input and an output file"},
      {"unknown option",
       {"grid", "a", "b", "--cellsize", "5"},
       "terravox-cli: unknown option --cellsize"},
      {"missing value",
       {"grid", "a", "b", "--cell-size"},
       "terravox-cli: option --cell-size needs a value"},
      {"threads not a number",
       {"grid", "a", "b", "--threads", "two"},
       "terravox-cli: --threads takes a whole number, 0 meaning every core"},
      {"negative threads",
       {"grid", "a", "b", "--threads", "-1"},
       "terravox-cli: --threads takes a whole number, 0 meaning every core"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Process run = Run(row.args);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), row.first_line);
    EXPECT_NE(run.err.find("usage: terravox-cli"), std::string::npos);
  }
}

TEST_F(CliGridTest, HelpPrintsTheUsageAndExitsZero) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"grid", "--help"}, {"-h"}}) {
    SCOPED_TRACE(args.back());
    Process run = Run(args);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("usage: terravox-cli", 0), 0u);
    EXPECT_NE(run.out.find("grid IN OUT [--cell-size S] [--separator SEP] [--log FILE]"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace terravox
