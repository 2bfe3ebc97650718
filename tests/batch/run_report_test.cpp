// The per-file report of a run and the resume index read from it: what each step records, how a
// report written by a killed run reads back, and when a file counts as done.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/report_reader.h"
#include "batch/resume_index.h"
#include "batch/run_report.h"
#include "support/fake_host.h"
#include "support/lattice_fixtures.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using ::terravox::testing::FakeHost;
using ::terravox::testing::LatticeXyz;
using ::terravox::testing::ReadFile;
using ::terravox::testing::TempDirTest;
using ::terravox::testing::WriteFile;

class RunReportTest : public TempDirTest {
 protected:
  // A run of the XYZ folder to slopes and contours, its report read back.
  std::vector<FileRecord> Run(FakeHost& host, bool expect_finished) {
    host.values.input_xyz = true;
    host.values.xyz_folder = PathIn("xyz");
    host.values.ascii_folder = MakeDir("ascii");
    host.values.grid_folder = MakeDir("grid");
    host.values.run_slope = true;
    host.values.slope_folder = MakeDir("slope");
    host.values.run_contour = true;
    host.values.contour_folder = MakeDir("contour");
    host.values.contour_interval = "20";
    BatchMdl mdl;
    RunOptions options;
    options.error_log_path = PathIn("x.log");
    options.report_path = PathIn("r.jsonl");
    EXPECT_EQ(RunBatch(host, mdl, options) == RunOutcome::kFinished, expect_finished);
    Result<std::vector<FileRecord>> records = ReadFileRecords(options.report_path);
    EXPECT_TRUE(records.ok());
    return records.ok() ? *records : std::vector<FileRecord>{};
  }
};

TEST_F(RunReportTest, EachStepRecordsEachFile) {
  MakeDir("xyz");
  WriteFile(PathIn("xyz/a.xyz"), LatticeXyz(0));
  WriteFile(PathIn("xyz/b.xyz"), LatticeXyz(7));
  FakeHost host;
  std::vector<FileRecord> records = Run(host, true);

  struct Expected {
    const char* step;
    std::string input;
    std::string output;
    int64_t points;
    int64_t cells;
  };
  const Expected expected[] = {
      {kStepXyz2Ascii, PathIn("xyz/a.xyz"), PathIn("ascii/a.asc"), 25, 25},
      {kStepXyz2Ascii, PathIn("xyz/b.xyz"), PathIn("ascii/b.asc"), 25, 25},
      {kStepAscii2Grid, PathIn("ascii/a.asc"), PathIn("grid/a"), -1, 25},
      {kStepAscii2Grid, PathIn("ascii/b.asc"), PathIn("grid/b"), -1, 25},
      {kStepSlope, PathIn("grid/a"), PathIn("slope/a"), -1, 25},
      {kStepContours, PathIn("grid/a"), PathIn("contour/a.shp"), -1, 25},
      {kStepSlope, PathIn("grid/b"), PathIn("slope/b"), -1, 25},
      {kStepContours, PathIn("grid/b"), PathIn("contour/b.shp"), -1, 25},
  };
  ASSERT_EQ(records.size(), std::size(expected));
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(records[i].step, expected[i].step);
    EXPECT_EQ(records[i].input, expected[i].input);
    EXPECT_EQ(records[i].output, expected[i].output);
    EXPECT_EQ(records[i].outcome, FileOutcome::kOk);
    EXPECT_EQ(records[i].error, "");
    EXPECT_EQ(records[i].points, expected[i].points);
    EXPECT_EQ(records[i].cells, expected[i].cells);
    EXPECT_GE(records[i].seconds, 0);
  }
  EXPECT_NE(ReadFile(PathIn("r.jsonl"))
                .find(R"({"step":"run","outcome":"finished","message":"Program is Finished",)"
                      R"("text":"All files in the folders were finished"})"),
            std::string::npos);
}

TEST_F(RunReportTest, FailuresCarryWhatTheUserWasTold) {
  MakeDir("xyz");
  WriteFile(PathIn("xyz/a.xyz"), LatticeXyz(0));
  WriteFile(PathIn("xyz/b.xyz"), "0 0 high\r\n");
  WriteFile(PathIn("xyz/c.xyz"), "0;0;1\r\n");
  FakeHost host;
  std::vector<FileRecord> records = Run(host, false);
  ASSERT_EQ(records.size(), 3u);  // the run stops after the XYZ step
  EXPECT_EQ(records[0].outcome, FileOutcome::kOk);
  EXPECT_EQ(records[1].outcome, FileOutcome::kFailed);
  EXPECT_EQ(records[1].error, "Type mismatch");
  EXPECT_EQ(records[2].outcome, FileOutcome::kFailed);
  EXPECT_EQ(records[2].error, PathIn("xyz/c.xyz") + " does not fit the format you setting!");
  EXPECT_NE(ReadFile(PathIn("r.jsonl")).find(R"("outcome":"stopped")"), std::string::npos);
}

TEST_F(RunReportTest, LineCutByAKillIsSkippedAndAppendingStartsANewLine) {
  const std::string path = PathIn("r.jsonl");
  {
    Result<ReportWriter> writer = ReportWriter::Open(path, false);
    ASSERT_TRUE(writer.ok());
    writer->Write({.step = kStepSlope, .input = "g/a", .output = "s/a"});
  }
  std::string text = ReadFile(path);
  WriteFile(path, text + R"({"step":"slope","input":"g/b","out)");
  {
    Result<ReportWriter> writer = ReportWriter::Open(path, true);
    ASSERT_TRUE(writer.ok());
    writer->Write(
        {.step = kStepSlope, .input = "g/c", .output = "s/c", .outcome = FileOutcome::kSkipped});
  }
  Result<std::vector<FileRecord>> records = ReadFileRecords(path);
  ASSERT_TRUE(records.ok());
  ASSERT_EQ(records->size(), 2u);
  EXPECT_EQ((*records)[0].input, "g/a");
  EXPECT_EQ((*records)[1].input, "g/c");
  EXPECT_EQ((*records)[1].outcome, FileOutcome::kSkipped);
  EXPECT_FALSE(ReadFileRecords(PathIn("none.jsonl")).ok());
}

TEST_F(RunReportTest, LinesThatAreNoRecordAreCountedAndSkipped) {
  const std::string good = FileRecordLine({.step = kStepSlope, .input = "g/a", .output = "s/a"});
  const std::string bad[] = {
      std::string(100000, '[') + std::string(100000, ']'),
      R"({"step":5})",
      R"({"step":"slope","input":"g/b","outcome":7})",
      R"({"step":"slope","input":"g/b","outcome":"done"})",
      R"({"step":"slope","input":"g/b","outcome":"ok","points":"many"})",
      R"({"step":"run","outcome":"finished","shard":"9"})",
      R"({"step":"start","steps":[1]})",
      "{\"step\":\"slope\",\"input\":\"" + std::string(2 << 20, 'x') + "\",\"outcome\":\"ok\"}",
      "not json",
  };
  std::string text = good + "\n";
  for (const std::string& line : bad) text += line + "\n" + good + "\n";
  WriteFile(PathIn("r.jsonl"), text + R"({"step":"slope","input":"g/c","out)");
  Result<Report> report = ReadReport(PathIn("r.jsonl"));
  ASSERT_TRUE(report.ok());
  EXPECT_EQ(report->skipped_lines, static_cast<int>(std::size(bad)) + 1);
  ASSERT_EQ(report->segments.size(), 1u);
  EXPECT_EQ(report->segments[0].files.size(), std::size(bad) + 1);

  // Only a regular file is read: a FIFO is refused at once, not waited on.
  ASSERT_EQ(mkfifo(PathIn("fifo").c_str(), 0600), 0);
  for (const char* path : {"fifo", "", "none"}) {
    Result<Report> refused = ReadReport(PathIn(path));
    ASSERT_FALSE(refused.ok()) << path;
    EXPECT_EQ(refused.error().description().rfind("Cannot read the report " + PathIn(path), 0), 0u);
  }
}

TEST_F(RunReportTest, NamesThatAreNoUtf8ReadBackAsTheirOwnBytes) {
  const std::string names[] = {PathIn("t\xff.xyz"), PathIn("t\xfe.xyz"), PathIn("t\xc3.xyz")};
  {
    Result<ReportWriter> writer = ReportWriter::Open(PathIn("r.jsonl"), false);
    ASSERT_TRUE(writer.ok());
    for (const std::string& name : names) writer->Write({.step = kStepXyz2Ascii, .input = name});
  }
  Result<std::vector<FileRecord>> records = ReadFileRecords(PathIn("r.jsonl"));
  ASSERT_TRUE(records.ok());
  ASSERT_EQ(records->size(), std::size(names));
  for (size_t i = 0; i < std::size(names); ++i) EXPECT_EQ((*records)[i].input, names[i]);
  EXPECT_NE(ReadFile(PathIn("r.jsonl")).find(R"("input":")" + PathIn(R"(t\\xFF.xyz")")),
            std::string::npos);
}

TEST_F(RunReportTest, ReportIsNeverWrittenThroughALink) {
  WriteFile(PathIn("precious"), "keep me");
  fs::create_symlink(PathIn("precious"), PathIn("r.jsonl"));
  for (bool append : {false, true}) {
    Result<ReportWriter> writer = ReportWriter::Open(PathIn("r.jsonl"), append);
    ASSERT_FALSE(writer.ok());
    EXPECT_EQ(writer.error().description().rfind("Cannot write the report " + PathIn("r.jsonl"), 0),
              0u);
  }
  EXPECT_EQ(ReadFile(PathIn("precious")), "keep me");
}

// The user's own report (the window's) that cannot be written never stops the run: the run ends
// as it would have, and the error log says why, once.
TEST_F(RunReportTest, AnOwnReportThatCannotBeWrittenLeavesTheRunAsItWas) {
  for (const std::string blocker : {"folder", "dangling link", "folder others write to"}) {
    SCOPED_TRACE(blocker);
    const fs::path report = fs::path(MakeDir(blocker + "/terravox")) / "r.jsonl";
    if (blocker == "folder") fs::create_directories(report);
    if (blocker == "dangling link") fs::create_symlink("nowhere", report);
    if (blocker == "folder others write to") fs::permissions(report.parent_path(), fs::perms::all);
    FakeHost host;
    host.values.grid_folder = MakeDir("grid");
    RunOptions options;
    options.error_log_path = PathIn(blocker + "/x.log");
    options.report_path = report.string();
    options.report_in_user_state = true;
    BatchMdl mdl;
    EXPECT_EQ(RunBatch(host, mdl, options), RunOutcome::kFinished);
    EXPECT_EQ(host.messages.back().title, "Program is Finished");
    const std::string log = ReadFile(options.error_log_path);
    EXPECT_EQ(log.rfind("Cannot write the report " + report.string() + ": ", 0), 0u) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  }
}

TEST_F(RunReportTest, DoneNeedsTheLastRecordOkWithTheSameSettingsInputAndNewerOutputs) {
  const auto now = fs::file_time_type::clock::now();
  const std::string in = PathIn("in.xyz");
  WriteFile(in, "x");
  fs::last_write_time(in, now - std::chrono::minutes(10));
  WriteFile(PathIn("new.asc"), "x");
  WriteFile(PathIn("old.asc"), "x");
  fs::last_write_time(PathIn("old.asc"), now - std::chrono::minutes(20));
  // A GRID folder counts by its oldest file.
  WriteFile(MakeDir("grid_new") + "/hdr.adf", "x");
  WriteFile(MakeDir("grid_half") + "/hdr.adf", "x");
  WriteFile(PathIn("grid_half/w001001.adf"), "x");
  fs::last_write_time(PathIn("grid_half/w001001.adf"), now - std::chrono::minutes(20));

  const InputState state = InputStateOf(in);
  auto made = [&](const char* step, FileOutcome outcome = FileOutcome::kOk) {
    return FileRecord{.step = step,
                      .input = in,
                      .outcome = outcome,
                      .settings = "cfg",
                      .input_size = state.size,
                      .input_time = state.time};
  };
  {
    Result<ReportWriter> writer = ReportWriter::Open(PathIn("r.jsonl"), false);
    ASSERT_TRUE(writer.ok());
    writer->Write(made("s"));
    writer->Write(made("f", FileOutcome::kFailed));
    writer->Write(made("redone"));
    writer->Write(made("redone", FileOutcome::kFailed));
    writer->Write(made("resumed"));
    writer->Write(made("resumed", FileOutcome::kSkipped));
    writer->Write({.step = "unrecorded", .input = in, .settings = "cfg"});
    FileRecord grown = made("grown");
    ++grown.input_size;
    writer->Write(grown);
  }
  Result<ResumeIndex> index = ResumeIndex::Load(PathIn("r.jsonl"));
  ASSERT_TRUE(index.ok());
  struct Row {
    const char* name;
    const char* step;
    std::vector<std::string> outputs;
    const char* settings;
    bool done;
  };
  const Row rows[] = {
      {"newer output", "s", {PathIn("new.asc")}, "cfg", true},
      {"GRID of newer files", "s", {PathIn("grid_new")}, "cfg", true},
      {"skipped by a resumed run after it", "resumed", {PathIn("new.asc")}, "cfg", true},
      {"other settings", "s", {PathIn("new.asc")}, "cfg2", false},
      {"an older output among them", "s", {PathIn("new.asc"), PathIn("old.asc")}, "cfg", false},
      {"GRID with an older file", "s", {PathIn("grid_half")}, "cfg", false},
      {"missing output", "s", {PathIn("none.asc")}, "cfg", false},
      {"recorded as failed", "f", {PathIn("new.asc")}, "cfg", false},
      {"failed when done again", "redone", {PathIn("new.asc")}, "cfg", false},
      {"input not recorded", "unrecorded", {PathIn("new.asc")}, "cfg", false},
      {"input of another size", "grown", {PathIn("new.asc")}, "cfg", false},
      {"not recorded", "t", {PathIn("new.asc")}, "cfg", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(index->Done(row.step, in, row.outputs, row.settings), row.done) << row.name;
  }
  Result<ResumeIndex> empty = ResumeIndex::Load(PathIn("none.jsonl"));
  ASSERT_TRUE(empty.ok());
  EXPECT_FALSE(empty->Done("s", in, {PathIn("new.asc")}, "cfg"));
}

}  // namespace
}  // namespace terravox
