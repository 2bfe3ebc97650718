// terravox-cli run as a process: the same files, messages and outcome as the batch run
// in-process for the same settings; exit codes, usage, and the status line on a terminal.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/headless_host.h"
#include "cli_process.h"
#include "core/batch_mdl.h"
#include "core/run_options.h"
#include "support/lattice_fixtures.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::kCli;
using ::terravox::testing::LatticeAsciiGrid;
using ::terravox::testing::LatticeXyz;
using ::terravox::testing::OpenTerminal;
using ::terravox::testing::Process;
using ::terravox::testing::ReadFile;
using ::terravox::testing::RunCli;
using ::terravox::testing::Terminal;
using ::terravox::testing::WriteFile;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The settings of one run, given once: as window settings for the run in-process and as
// options for the program.
struct Scenario {
  const char* name;
  const char* input;  // "xyz", "ascii" or "grid"
  std::optional<std::string> cell_size = std::nullopt;
  std::optional<std::string> separator = std::nullopt;  // as chosen: "Space", "TAB", ","
  std::string file_separator = " ";                     // what the sample files use
  bool contours = false;
  bool slopes = false;
  bool bad_file = false;        // adds an XYZ file whose height is no number
  bool grid_missing = false;    // names a GRID folder that does not exist
  bool log_unwritable = false;  // puts the error log in a folder that does not exist
};

// What a run leaves for the user to see.
struct Observed {
  int exit_code = -1;
  std::string transcript;  // captions, message boxes and log lines, in order, root as ROOT
  std::vector<std::string> files;
  std::map<std::string, std::string> ascii_grids;  // name -> bytes
  std::string log;
};

enum class Front { kInProcess, kProgram };

class CliRunTest : public ::terravox::testing::TempDirTest {
 protected:
  // Fresh inputs under root, then the run through the chosen front end.
  Observed Observe(const Scenario& scenario, Front front) {
    const std::string root = MakeDir(front == Front::kInProcess ? "in-process" : "program");
    for (const char* folder : {"xyz", "ascii", "grid", "contour", "slope"}) {
      MakeDir(fs::path(root).filename().string() + "/" + folder);
    }
    WriteFile(root + "/xyz/a.xyz", LatticeXyz(0, scenario.file_separator));
    WriteFile(root + "/xyz/b.xyz", LatticeXyz(7, scenario.file_separator));
    if (scenario.bad_file) WriteFile(root + "/xyz/ab.xyz", "0 0 high\r\n");
    if (std::string(scenario.input) != "xyz") MakeAsciiGrids(root);
    if (std::string(scenario.input) == "grid") MakeGrids(root);

    const std::string log = scenario.log_unwritable ? root + "/none/x.log" : root + "/x.log";
    Observed seen;
    if (front == Front::kInProcess) {
      seen = RunInProcess(scenario, root, log);
    } else {
      Process process = RunCli(Options(scenario, root, log), MakeDir("io"));
      EXPECT_EQ(process.out, "");
      seen.exit_code = process.exit_code;
      seen.transcript = process.err;
    }
    seen.transcript = Replace(seen.transcript, root, "ROOT");
    seen.log = Replace(ReadFile(log), root, "ROOT");
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      std::string relative = fs::relative(entry.path(), root).string();
      seen.files.push_back(relative);
      if (entry.path().extension() == ".asc") seen.ascii_grids[relative] = ReadFile(entry.path());
    }
    std::sort(seen.files.begin(), seen.files.end());
    return seen;
  }

  std::vector<std::string> Options(const Scenario& scenario, const std::string& root,
                                   const std::string& log) {
    std::vector<std::string> args = {"run", "--input", scenario.input, "--log", log};
    args.insert(args.end(), {"--xyz-dir", root + "/xyz", "--ascii-dir", root + "/ascii"});
    args.insert(args.end(), {"--grid-dir", root + (scenario.grid_missing ? "/none" : "/grid")});
    if (scenario.cell_size) args.insert(args.end(), {"--cell-size", *scenario.cell_size});
    if (scenario.separator) args.insert(args.end(), {"--separator", *scenario.separator});
    if (scenario.contours) {
      args.insert(args.end(), {"--contour-dir", root + "/contour", "--contour-interval", "20"});
    }
    if (scenario.slopes) args.insert(args.end(), {"--slope-dir", root + "/slope"});
    return args;
  }

  Observed RunInProcess(const Scenario& scenario, const std::string& root, const std::string& log) {
    Observed seen;
    HeadlessHost host;
    Settings& v = host.values;
    v.input_xyz = std::string(scenario.input) == "xyz";
    v.input_ascii = std::string(scenario.input) == "ascii";
    v.cell_size_given = scenario.cell_size.has_value();
    if (scenario.cell_size) v.cell_size = *scenario.cell_size;
    v.xyz_folder = root + "/xyz";
    v.ascii_folder = root + "/ascii";
    v.grid_folder = root + (scenario.grid_missing ? "/none" : "/grid");
    v.run_contour = scenario.contours;
    v.contour_folder = scenario.contours ? root + "/contour" : "";
    v.contour_interval = scenario.contours ? "20" : "5";
    v.run_slope = scenario.slopes;
    v.slope_folder = scenario.slopes ? root + "/slope" : "";
    BatchMdl mdl;
    const std::string choice = scenario.separator.value_or("Space");
    mdl.strSeparator = choice == "Space" ? " " : choice == "TAB" ? "\t" : choice;
    RunOptions options;
    options.error_log_path = log;

    host.on_status = [&](const std::string& caption) {
      if (!caption.empty()) seen.transcript += caption + "\n";
    };
    host.on_message = [&](const std::string& text, const std::string& title) {
      seen.transcript += title + ": " + text + "\n";
    };
    options.on_log_line = [&](const std::string& line) { seen.transcript += line + "\n"; };
    seen.exit_code = RunBatch(host, mdl, options) == RunOutcome::kFinished ? 0 : 1;
    return seen;
  }

  static void MakeAsciiGrids(const std::string& root) {
    for (int offset : {0, 7}) {
      WriteFile(root + (offset == 0 ? "/ascii/a.asc" : "/ascii/b.asc"), LatticeAsciiGrid(offset));
    }
  }

  // GRIDs made the way a user would make them: a run on the ASCII grids.
  static void MakeGrids(const std::string& root) {
    HeadlessHost host;
    host.values.input_ascii = true;
    host.values.ascii_folder = root + "/ascii";
    host.values.grid_folder = root + "/grid";
    BatchMdl mdl;
    ASSERT_EQ(RunBatch(host, mdl), RunOutcome::kFinished);
  }
};

TEST_F(CliRunTest, ProgramDoesWhatTheRunDoesInProcess) {
  const Scenario scenarios[] = {
      {.name = "xyz to contours and slopes", .input = "xyz", .contours = true, .slopes = true},
      {.name = "given cell size and a bad file",
       .input = "xyz",
       .cell_size = "10",
       .bad_file = true},
      {.name = "comma separated", .input = "xyz", .separator = ",", .file_separator = ","},
      {.name = "tab separated", .input = "xyz", .separator = "TAB", .file_separator = "\t"},
      {.name = "separator not in the files", .input = "xyz", .separator = ";"},
      {.name = "ascii to contours", .input = "ascii", .contours = true},
      {.name = "grid to slopes", .input = "grid", .slopes = true},
      {.name = "grid alone does nothing", .input = "grid"},
      {.name = "missing grid folder", .input = "xyz", .slopes = true, .grid_missing = true},
      {.name = "unwritable error log", .input = "xyz", .bad_file = true, .log_unwritable = true},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    Observed in_process = Observe(scenario, Front::kInProcess);
    Observed program = Observe(scenario, Front::kProgram);

    EXPECT_EQ(program.exit_code, in_process.exit_code);
    EXPECT_EQ(program.transcript, in_process.transcript);
    EXPECT_EQ(program.files, in_process.files);
    EXPECT_EQ(program.ascii_grids, in_process.ascii_grids);
    EXPECT_EQ(program.log, in_process.log);
    // The two must differ from scenario to scenario, or the comparison proves nothing.
    EXPECT_NE(in_process.transcript.find("Program is"), std::string::npos);

    fs::remove_all(PathIn("in-process"));
    fs::remove_all(PathIn("program"));
  }
}

TEST_F(CliRunTest, ExitCodeTellsFinishedFromStopped) {
  struct Row {
    Scenario scenario;
    int exit_code;
    const char* last_line;
  };
  const Row rows[] = {
      {{.name = "finished", .input = "xyz", .slopes = true},
       0,
       "Program is Finished: All files in the folders were finished"},
      {{.name = "stopped by a file", .input = "xyz", .bad_file = true},
       1,
       "Program is Stopped: There are some errors happened during processing"},
      {{.name = "stopped by validation", .input = "grid", .grid_missing = true},
       1,
       "Program is Stopped: There are some errors happened during processing"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.scenario.name);
    Observed seen = Observe(row.scenario, Front::kProgram);
    EXPECT_EQ(seen.exit_code, row.exit_code);
    EXPECT_TRUE(seen.transcript.ends_with(std::string(row.last_line) + "\n")) << seen.transcript;
    fs::remove_all(PathIn("program"));
  }
}

// A report lost on a full disk is said: a run asked for its report does not finish without it.
// The disk is a tiny tmpfs, filled up, in a mount namespace of the run's own.
TEST_F(CliRunTest, AReportOnAFullDiskStopsTheRun) {
  const std::string full = MakeDir("full");
  const std::string err = PathIn("err.txt");
  const std::string command =
      "unshare -rm sh -c 'mount -t tmpfs -o size=8k tmpfs \"" + full +
      "\" || exit; cat /dev/zero >\"" + full + "/fill\" 2>/dev/null; exec \"" + kCli +
      "\" run --input grid --grid-dir \"" + MakeDir("grid") + "\" --report \"" + full +
      "/r.jsonl\" --log \"" + PathIn("x.log") + "\" 2>\"" + err + "\"' 2>/dev/null";
  const int status = std::system(command.c_str());
  if (!fs::exists(err)) GTEST_SKIP() << "no private mount of a tmpfs here";
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_EQ(ReadFile(err), "Program is Stopped: Cannot write the report " + full +
                               "/r.jsonl: No space left on device\n");
}

TEST_F(CliRunTest, BadUsageExitsTwoWithTheUsageAndTouchesNothing) {
  const std::string grid = MakeDir("grid");
  struct Row {
    const char* name;
    std::vector<std::string> args;
  };
  const Row rows[] = {
      {"unknown option", {"run", "--input", "grid", "--grid-dir", grid, "--colour", "red"}},
      {"option without its value", {"run", "--grid-dir", grid, "--input"}},
      {"unknown input kind", {"run", "--input", "raster", "--grid-dir", grid}},
      {"no input kind", {"run", "--grid-dir", grid}},
      {"a stray argument", {"run", "--input", "grid", "--grid-dir", grid, "extra"}},
      {"pictures without a report", {"run", "--input", "grid", "--grid-dir", grid, "--quicklook"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Process process = RunCli(row.args, MakeDir("io"));
    EXPECT_EQ(process.exit_code, 2);
    EXPECT_NE(process.err.find("usage: terravox-cli"), std::string::npos) << process.err;
    EXPECT_NE(process.err.find("terravox-cli run --input xyz|ascii|grid"), std::string::npos);
    EXPECT_EQ(process.err.find("Program is"), std::string::npos) << "a run was started";
    EXPECT_TRUE(fs::is_empty(grid));
  }
}

TEST_F(CliRunTest, HelpPrintsTheUsageAndExitsZero) {
  Process process = RunCli({"run", "--help"}, MakeDir("io"));
  EXPECT_EQ(process.exit_code, 0);
  EXPECT_NE(process.out.find("terravox-cli run --input xyz|ascii|grid"), std::string::npos);
  EXPECT_NE(process.out.find("--contour-interval V"), std::string::npos);
  EXPECT_EQ(process.err, "");
}

TEST_F(CliRunTest, OnATerminalCaptionsRedrawOneLine) {
  std::optional<Terminal> terminal = OpenTerminal();
  if (!terminal) GTEST_SKIP() << "no pseudo-terminal here";
  const std::string xyz = MakeDir("xyz");
  WriteFile(xyz + "/a.xyz", LatticeXyz(0, " "));
  WriteFile(xyz + "/b.xyz", LatticeXyz(7, " "));
  MakeDir("ascii");
  MakeDir("grid");

  Process process =
      RunCli({"run", "--input", "xyz", "--xyz-dir", xyz, "--ascii-dir", PathIn("ascii"),
              "--grid-dir", PathIn("grid"), "--log", PathIn("x.log")},
             MakeDir("io"), &*terminal);

  EXPECT_EQ(process.exit_code, 0);
  EXPECT_EQ(process.err,
            "\rRunning : XYZ-->ASCII( 1/ 2)   a.xyz\x1b[K"
            "\rRunning : XYZ-->ASCII( 2/ 2)   b.xyz\x1b[K"
            "\rRunning : ASCII-->ESRI GRID ( 1/ 2)   a.asc\x1b[K"
            "\rRunning : ASCII-->ESRI GRID ( 2/ 2)   b.asc\x1b[K"
            "\nProgram is Finished: All files in the folders were finished\n");
}

}  // namespace
}  // namespace terravox
