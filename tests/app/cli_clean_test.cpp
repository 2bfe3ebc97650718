// terravox-cli clean: removes the temporaries of the submission asked for, says what it did per
// folder, and fails for a folder it cannot clean.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli_process.h"
#include "core/temporary_name.h"
#include "support/leftovers.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::EndedProcess;
using ::terravox::testing::Process;
using ::terravox::testing::RunCli;
using ::terravox::testing::WriteFile;
using ::terravox::testing::WriteOwnerLock;

class CliCleanTest : public ::terravox::testing::TempDirTest {};

TEST_F(CliCleanTest, RemovesTheSubmissionsTemporariesAndFailsForAFolderItCannotClean) {
  const std::string folder = MakeDir("grid");
  const ProcessTag of_7 = EndedProcess();
  const ProcessTag of_8 = EndedProcess();
  const std::string temporary_7 = folder + "/" + TemporaryStem(of_7, 1) + ".tmp";
  const std::string temporary_8 = folder + "/" + TemporaryStem(of_8, 1) + ".tmp";
  WriteFile(temporary_7, "half a grid");
  WriteFile(temporary_8, "half a grid");
  WriteOwnerLock(folder, of_7, "7", false);
  WriteOwnerLock(folder, of_8, "8", false);

  Process clean = RunCli({"clean", folder, PathIn("missing"), "--submission", "7"}, MakeDir("io"));

  EXPECT_EQ(clean.exit_code, 1) << clean.err;
  EXPECT_EQ(clean.out.find(folder + ": 2 removed\n"), 0u) << clean.out;
  EXPECT_NE(clean.err.find("cannot clean " + PathIn("missing")), std::string::npos) << clean.err;
  EXPECT_FALSE(fs::exists(temporary_7));
  EXPECT_TRUE(fs::exists(temporary_8));
  EXPECT_EQ(RunCli({"clean"}, PathIn("io")).exit_code, 2);
}

}  // namespace
}  // namespace terravox
