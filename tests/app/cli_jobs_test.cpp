// terravox-cli run with --jobs 1 and --jobs 2 over the bundled sample tiles and over tiles of the
// benchmark's kind, and with --no-hand-over: every output byte, the error log and what the
// program prints are the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli_process.h"
#include "cli_tiles.h"
#include "support/same_files.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::ChainOptions;
using ::terravox::testing::ExpectSameFiles;
using ::terravox::testing::MakeTiles;
using ::terravox::testing::Process;
using ::terravox::testing::RunCli;
using ::terravox::testing::Snapshot;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::With;

class CliJobsTest : public TempDirTest {
 protected:
  struct Observed {
    Process process;
    std::map<std::string, std::string> outputs;  // the output folders and the log, by path
  };

  // The whole chain over source/xyz into fresh output folders under out, the same path each
  // time, so that captions and log lines name the same files.
  Observed RunChain(const std::string& source, int jobs, std::vector<std::string> extra = {}) {
    const std::string out = PathIn("out");
    fs::remove_all(out);
    for (const char* folder : {"ascii", "grid", "slope", "contour"}) {
      fs::create_directories(out + "/" + folder);
    }
    Observed observed;
    extra.insert(extra.end(), {"--log", out + "/log.txt", "--jobs", std::to_string(jobs)});
    observed.process = RunCli(With(ChainOptions("run", out, source), extra), PathIn(""));
    observed.outputs = Snapshot(out);
    return observed;
  }
};

TEST_F(CliJobsTest, TwoJobsLeaveAndPrintWhatOneJobDoes) {
  struct Case {
    const char* name;
    std::function<void(const std::string& source)> make;
  };
  const Case cases[] = {
      {"the bundled sample tiles",
       [](const std::string& source) {
         fs::create_directories(source + "/xyz");
         for (const auto& entry : fs::directory_iterator(TERRAVOX_SOURCE_DIR "/examples")) {
           fs::copy_file(entry.path(), source + "/xyz/" + entry.path().filename().string());
         }
       }},
      {"many small tiles, as the benchmark makes them",
       [](const std::string& source) { MakeTiles(source, 24, 30); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string source = PathIn("source");
    fs::remove_all(source);
    c.make(source);
    const Observed one = RunChain(source, 1);
    const Observed two = RunChain(source, 2);
    ASSERT_EQ(one.process.exit_code, 0) << one.process.err;
    EXPECT_EQ(two.process.exit_code, 0) << two.process.err;
    EXPECT_EQ(two.process.out, one.process.out);
    EXPECT_EQ(two.process.err, one.process.err);
    // Something was made, or the comparison proves nothing.
    EXPECT_GT(one.outputs.size(), 12u);
    ExpectSameFiles(two.outputs, one.outputs);
    // Every grid read back from disk instead of taken from memory: nothing visible changes.
    const Observed read_back = RunChain(source, 2, {"--no-hand-over"});
    EXPECT_EQ(read_back.process.exit_code, 0) << read_back.process.err;
    EXPECT_EQ(read_back.process.out, one.process.out);
    EXPECT_EQ(read_back.process.err, one.process.err);
    ExpectSameFiles(read_back.outputs, one.outputs);
  }
}

}  // namespace
}  // namespace terravox
