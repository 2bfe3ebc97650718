// RunBatch: validation, then the XYZ, ASCII-to-GRID and raster steps while the run flag holds,
// then the final message. An error that escapes a step ends the run with a message of its own.
#include "batch/batch_run.h"

#include <tbb/global_control.h>

#include <memory>
#include <optional>
#include <string>

#include "batch/ascii2grid.h"
#include "batch/check_cond.h"
#include "batch/extra_outputs.h"
#include "batch/prefetch_limits.h"
#include "batch/raster_walk.h"
#include "batch/resume_index.h"
#include "batch/run_report.h"
#include "batch/xyz2ascii.h"
#include "core/run_control.h"
#include "core/status.h"

namespace terravox {
namespace {

constexpr const char* kFinishedText = "All files in the folders were finished";
constexpr const char* kFinishedTitle = "Program is Finished";
constexpr const char* kStoppedText = "There are some errors happened during processing";
constexpr const char* kStoppedTitle = "Program is Stopped";

// Steps 4 to 6 of a run: each step only under its condition, the flag tested after each of
// them whether or not it ran, so a failure anywhere skips every later step. Returns an error
// only for one that escaped a step; a handled failure shows as a cleared flag.
Status RunSteps(Host& host, BatchMdl& mdl, const RunOptions& options) {
  if (!mdl.bRunOk) return Status::Ok();

  if (host.InputIsXyz()) {
    Status s = RunUnderHandler([&] { return XYZ2ASCII(host, mdl, options); });
    if (!s.ok()) return s;
  }
  if (!mdl.bRunOk) return Status::Ok();

  if (host.InputIsXyz() || host.InputIsAscii()) {
    Status s = RunUnderHandler([&] { return ASCII2GRID(host, mdl, options); });
    if (!s.ok()) return s;
  }
  if (!mdl.bRunOk) return Status::Ok();

  if (host.RunContour() || host.RunSlope()) {
    Status s = RunUnderHandler([&] { return GetRasterLayersFromFolder(host, mdl, options); });
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

// Opens the report and the resume index the options ask for and wires them into the steps'
// hooks. The error names the report that cannot be read or written.
Status PrepareReport(RunOptions& options, std::optional<ReportWriter>& report) {
  if (options.report_path.empty()) return Status::Ok();
  if (options.resume) {
    Result<ResumeIndex> index = ResumeIndex::Load(options.report_path);
    if (!index.ok()) return index.error();
    options.already_done = [index = std::make_shared<ResumeIndex>(std::move(index).value())](
                               const std::string& step, const std::string& input,
                               const std::vector<std::string>& outputs) {
      return index->Done(step, input, outputs);
    };
  }
  Result<ReportWriter> writer = ReportWriter::Open(options.report_path, options.resume);
  if (!writer.ok()) return writer.error();
  report.emplace(std::move(writer).value());
  options.on_file = [&report](const FileRecord& record) { report->Write(record); };
  return Status::Ok();
}

}  // namespace

RunOutcome RunBatch(Host& host, BatchMdl& mdl, const RunOptions& given_options) {
  // --jobs N caps every thread of work the run starts, the ones inside one file included:
  // --jobs 1 runs on one core.
  tbb::global_control cores(tbb::global_control::max_allowed_parallelism,
                            static_cast<size_t>(PrefetchLimitsFor(given_options).threads));
  RunControlScope control_scope(given_options.control);
  // A failure of the last run must not carry over into this one.
  mdl.bRunOk = false;
  // A folder that could not be tested stops the run like an error escaping a step.
  Status escaped = CheckCond(host, mdl);

  RunOptions options = given_options;
  std::optional<ReportWriter> report;
  if (escaped.ok()) {
    Status prepared = PrepareReport(options, report);
    if (prepared.ok() && mdl.bRunOk) prepared = PrepareExtraOutputs(options);
    // After a failed validation, which has said what is wrong, the report only records it.
    if (mdl.bRunOk) escaped = prepared.ok() ? RunSteps(host, mdl, options) : prepared;
  }

  RunOutcome outcome;
  std::string title;
  std::string text;
  if (!escaped.ok()) {
    // The run cannot go on after an error no step handled; say what it was rather than end
    // silently, then leave the window as a stopped run leaves it.
    text = escaped.description();
    if (text.empty()) text = kStoppedText;
    title = kStoppedTitle;
    outcome = IsCancelled(escaped) ? RunOutcome::kInterrupted : RunOutcome::kStopped;
  } else if (mdl.bRunOk) {
    title = kFinishedTitle;
    text = kFinishedText;
    outcome = RunOutcome::kFinished;
  } else {
    title = kStoppedTitle;
    text = kStoppedText;
    outcome = RunOutcome::kStopped;
  }
  if (report) report->WriteRunEnd(outcome == RunOutcome::kFinished, title, options.shard);
  host.MsgBox(text, title);
  // Cleared only after the box closes: while it is open the last caption tells where the run was.
  host.SetStatus("");
  return outcome;
}

}  // namespace terravox
