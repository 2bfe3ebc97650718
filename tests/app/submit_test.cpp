// scripts/slurm/submit.sh with a stand-in sbatch that records what it is asked: each option
// reaches its job, paths are made absolute, earlier reports are moved aside, and nothing is queued
// for a run that would stop at once or a resume with another task count. Then its jobs with a
// stand-in terravox-cli: what each task and the final job ask of it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli_process.h"
#include "cli_tiles.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::kCli;
using ::terravox::testing::MakeTiles;
using ::terravox::testing::ReadFile;
using ::terravox::testing::WriteFile;

// Each call writes its environment's SBATCH_ARRAY_INX and its arguments to job.N, prints job id N.
constexpr char kSbatch[] = R"(#!/bin/sh
n=$(ls "$JOBS" | wc -l); n=$((n + 1))
{ echo "SBATCH_ARRAY_INX=${SBATCH_ARRAY_INX:-unset}"; printf '%s\n' "$@"; } >"$JOBS/job.$n"
echo "$n"
)";

class SubmitTest : public ::terravox::testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    MakeTiles(PathIn("in"), 1, 3);
    WriteFile(MakeDir("bin") + "/sbatch", kSbatch);
    fs::permissions(PathIn("bin/sbatch"), fs::perms::owner_all);
    MakeDir("jobs");
  }

  // Runs submit.sh in the test's folder with the given options; its exit code, stderr in err_.
  int Submit(const std::string& options, const std::string& cli = kCli) {
    const std::string command = "cd '" + PathIn("") + "' && PATH='" + PathIn("bin") +
                                "':\"$PATH\" JOBS='" + PathIn("jobs") +
                                "' SBATCH_ARRAY_INX=0-9 bash '" TERRAVOX_SOURCE_DIR
                                "/scripts/slurm/submit.sh' --cli '" +
                                cli + "' --report-dir reports " + options + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    err_ = ReadFile(PathIn("err.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static constexpr char kRun[] =
      " -- --input xyz --xyz-dir in/xyz --ascii-dir in/ascii --grid-dir in/grid";
  std::string err_;
};

TEST_F(SubmitTest, EachOptionReachesItsJobWithThePathsMadeAbsolute) {
  ASSERT_EQ(Submit(std::string("--tasks 3 --cpus 2 --throttle 2 --time 1:00:00 --mem 2G "
                               "--partition p --requeue --sbatch --hold") +
                   kRun + " --contour-dir in/contour --cog-dir in/grid --contour-gpkg=c.gpkg" +
                   " --quicklook"),
            0)
      << err_;
  const std::string array = ReadFile(PathIn("jobs/job.1"));
  const std::string final_job = ReadFile(PathIn("jobs/job.2"));
  for (const char* option : {"--array=0-2%2\n", "--cpus-per-task=2\n", "--time=1:00:00\n",
                             "--mem=2G\n", "--partition=p\n", "--requeue\n", "--hold\n"}) {
    EXPECT_NE(array.find(option), std::string::npos) << option << " in\n" << array;
  }
  for (const char* option : {"--dependency=afterany:1\n", "--partition=p\n"}) {
    EXPECT_NE(final_job.find(option), std::string::npos) << option << " in\n" << final_job;
  }
  for (const char* option : {"--time", "--mem", "--requeue", "--hold", "--array"}) {
    EXPECT_EQ(final_job.find(option), std::string::npos) << option << " in\n" << final_job;
  }
  EXPECT_EQ(final_job.rfind("SBATCH_ARRAY_INX=unset\n", 0), 0u);
  const std::string args = ReadFile(PathIn("reports/submission.args"));
  for (const auto& [option, path] :
       {std::pair{"--xyz-dir", "in/xyz"}, {"--cog-dir", "in/grid"}, {"--contour-gpkg", "c.gpkg"}}) {
    EXPECT_NE(args.find(option + std::string(1, '\0') + PathIn(path) + '\0'), std::string::npos)
        << option;
  }
  EXPECT_NE(args.find("--keep-going"), std::string::npos);

  // A new submission moves the reports of the last one aside.
  WriteFile(PathIn("reports/report.0.jsonl"), "{}\n");
  ASSERT_EQ(Submit(std::string("--tasks 3") + kRun), 0) << err_;
  EXPECT_FALSE(fs::exists(PathIn("reports/report.0.jsonl")));
  EXPECT_EQ(std::distance(fs::directory_iterator(PathIn("reports/previous")), {}), 1);
}

TEST_F(SubmitTest, NothingIsQueuedForARunThatWouldStopAtOnceOrAnotherTaskCount) {
  WriteFile(MakeDir("reports") + "/report.0.jsonl",
            R"({"step":"start","submission":"s","shard":"0/3"})"
            "\n");
  struct Row {
    const char* name;
    std::string options;
    std::string said;
  };
  const Row rows[] = {
      {"no GRID folder", " -- --input xyz --xyz-dir in/xyz --ascii-dir in/ascii --grid-dir in/none",
       "Please Re-Select Folder: The folder of Grid does not exist.\n"
       "Program is Stopped: There are some errors happened during processing\n"},
      {"no COG folder", std::string(kRun) + " --cog-dir in/none",
       "Program is Stopped: The folder for the COGs does not exist: " + PathIn("in/none")},
      {"resumed with another task count", std::string("--resume --tasks 4") + kRun,
       "cannot resume with --tasks 4: the reports in " + PathIn("reports") +
           " were written by 3 tasks"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Submit(row.options), 1);
    EXPECT_NE(err_.find(row.said), std::string::npos) << err_;
    EXPECT_TRUE(fs::is_empty(PathIn("jobs")));
  }
}

// Each call appends TERRAVOX_SUBMISSION, then its arguments, then "--", a line each, to CALLS.
constexpr char kCliStandIn[] = R"(#!/bin/sh
{ echo "TERRAVOX_SUBMISSION=${TERRAVOX_SUBMISSION:-unset}"; printf '%s\n' "$@" --; } >>"${CALLS:-/dev/null}"
)";

TEST_F(SubmitTest, TasksNameTheirSubmissionWhichTheFinalJobCleansAndMergesTheContoursOf) {
  WriteFile(PathIn("bin/terravox-cli"), kCliStandIn);
  fs::permissions(PathIn("bin/terravox-cli"), fs::perms::owner_all);
  MakeDir("cog");
  ASSERT_EQ(Submit(std::string("--tasks 2") + kRun +
                       " --contour-dir in/contour --cog-dir cog --contour-gpkg in/all.gpkg"
                       " --quicklook",
                   PathIn("bin/terravox-cli")),
            0)
      << err_;
  MakeDir("reports/report.1.quicklook");
  // As Slurm runs them: in the report folder, given its absolute path.
  const std::string reports = PathIn("reports");
  const std::string scripts = TERRAVOX_SOURCE_DIR "/scripts/slurm/";
  ASSERT_EQ(
      std::system(("cd '" + reports + "' && export CALLS='" + PathIn("calls") +
                   "' && SLURM_ARRAY_TASK_ID=1 bash " + scripts + "terravox-array.sbatch '" +
                   reports + "' && bash " + scripts + "terravox-final.sbatch '" + reports + "'")
                      .c_str()),
      0);
  const std::string submission = ReadFile(PathIn("reports/submission"));  // id=ID\n...
  const std::string id = submission.substr(3, submission.find('\n') - 3);
  const std::string calls = ReadFile(PathIn("calls"));
  const std::string said[] = {
      "TERRAVOX_SUBMISSION=" + id + "\nrun\n",
      "\nclean\n--submission\n" + id + "\n" + PathIn("in/ascii") + "\n" + PathIn("in/grid") + "\n" +
          PathIn("in/contour") + "\n" + PathIn("cog") + "\n" + PathIn("in") + "\n" +
          PathIn("reports/report.1.quicklook") + "\n--\n",
      "\n--contour-gpkg\n" + PathIn("in/all.gpkg") + "\n",
  };
  for (const std::string& call : said) EXPECT_NE(calls.find(call), std::string::npos) << call;
}

}  // namespace
}  // namespace terravox
