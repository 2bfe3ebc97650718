// RunBatch: validation, then the XYZ, ASCII-to-GRID and raster steps while the run flag holds,
// then the final message. An error that escapes a step ends the run with a message of its own.
#include "batch/batch_run.h"

#include <tbb/global_control.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "batch/ascii2grid.h"
#include "batch/box_recorder.h"
#include "batch/check_cond.h"
#include "batch/extra_outputs.h"
#include "batch/final_message.h"
#include "batch/memory_estimates.h"
#include "batch/prefetch_limits.h"
#include "batch/raster_walk.h"
#include "batch/resume_index.h"
#include "batch/run_report.h"
#include "batch/step_settings.h"
#include "batch/xyz2ascii.h"
#include "core/cell_handover.h"
#include "core/number_format.h"
#include "core/number_parse.h"
#include "core/owner_lock.h"
#include "core/paths.h"
#include "core/run_control.h"
#include "core/status.h"
#include "core/user_state.h"
#include "gridder/error_log.h"

namespace terravox {
namespace {

// A share of the owner lock of every folder the steps write, held for the whole run: taken and
// dropped file by file, the lock file was made and removed again for every file, and making a
// file costs as much as writing megabytes on some file systems. The COG folder takes two
// temporaries a tile.
std::vector<std::shared_ptr<const void>> HoldOutputLocks(const Host& host,
                                                         const RunOptions& options) {
  std::vector<std::string> folders;
  if (host.InputIsXyz()) folders.push_back(host.AsciiFolder());
  if (host.InputIsXyz() || host.InputIsAscii()) folders.push_back(host.GridFolder());
  if (host.RunSlope()) folders.push_back(host.SlopeFolder());
  if (host.RunContour()) folders.push_back(host.ContourFolder());
  folders.push_back(options.cog_dir);
  std::vector<std::shared_ptr<const void>> locks;
  for (const std::string& folder : folders) {
    if (!folder.empty()) locks.push_back(HoldOwnerLock(folder));
  }
  return locks;
}

// Steps 4 to 6 of a run: each step only under its condition, the flag tested after each of
// them whether or not it ran, so a failure anywhere skips every later step (unless the run keeps
// going past failed files, which the steps then leave out themselves). Returns an error only
// for one that escaped a step; a handled failure shows as a cleared flag.
Status RunSteps(Host& host, BatchMdl& mdl, const RunOptions& options) {
  if (!mdl.bRunOk) return Status::Ok();
  auto goes_on = [&] { return mdl.bRunOk || options.keep_going; };
  const std::vector<std::shared_ptr<const void>> locks = HoldOutputLocks(host, options);

  if (host.InputIsXyz()) {
    Status s = RunUnderHandler([&] { return XYZ2ASCII(host, mdl, options); });
    if (!s.ok()) return s;
  }
  if (!goes_on()) return Status::Ok();

  if (host.InputIsXyz() || host.InputIsAscii()) {
    Status s = RunUnderHandler([&] { return ASCII2GRID(host, mdl, options); });
    if (!s.ok()) return s;
  }
  if (!goes_on()) return Status::Ok();

  if (host.RunContour() || host.RunSlope()) {
    Status s = RunUnderHandler([&] { return GetRasterLayersFromFolder(host, mdl, options); });
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

// A report of the user's own that cannot be written is told in the error log, once, and the run
// goes on as if none had been asked for.
void LogReportFailure(const RunOptions& options, const Status& failure) {
  if (options.on_log_line) options.on_log_line(failure.description());
  (void)AppendErrorLog(options.error_log_path, failure.description());
}

// Opens the report at options.report_path; one of the user's own in a folder of the user's own.
Result<ReportWriter> OpenReport(const RunOptions& options) {
  if (options.report_in_user_state) {
    const std::string folder = std::filesystem::path(options.report_path).parent_path().string();
    if (Status s = MakePrivateFolder(folder); !s.ok()) {
      return Error(ErrorKind::kOther,
                   "Cannot write the report " + options.report_path + ": " + s.description());
    }
  }
  return ReportWriter::Open(options.report_path, options.resume);
}

// The steps a run with these settings takes, in the report's names.
std::vector<std::string> StepNames(const Host& host) {
  std::vector<std::string> steps;
  if (host.InputIsXyz()) steps.emplace_back(kStepXyz2Ascii);
  if (host.InputIsXyz() || host.InputIsAscii()) steps.emplace_back(kStepAscii2Grid);
  if (host.RunSlope()) steps.emplace_back(kStepSlope);
  if (host.RunContour()) steps.emplace_back(kStepContours);
  return steps;
}

// What the run learns of its files as the steps report them: the failures in order, and the
// tiles (base names) they belong to.
struct FileFailures {
  std::vector<FileRecord> records;
  std::set<std::string> tiles;
};

// Opens the report and the resume index the options ask for, writes the run's start, and wires
// them into the steps' hooks; the hooks also collect the failures, with or without a report.
// The error names the report that cannot be read or written, or resumed by this shard.
Status PrepareReport(const Host& host, const BatchMdl& mdl, RunOptions& options,
                     std::optional<ReportWriter>& report, FileFailures& failures) {
  options.on_file = [&report, &failures,
                     settings = StepSettings(host, mdl)](const FileRecord& given) {
    if (given.outcome == FileOutcome::kFailed) {
      failures.records.push_back(given);
      failures.tiles.insert(BaseName(LastPathPiece(given.input)));
    }
    if (!report) return;
    FileRecord record = given;
    if (record.outcome != FileOutcome::kSkipped) {
      auto found = settings.find(record.step);
      if (found != settings.end()) record.settings = found->second;
      const InputState state = InputStateOf(record.input);
      record.input_size = state.size;
      record.input_time = state.time;
    }
    report->Write(record);
  };
  options.tile_failed = [&failures](const std::string& tile) {
    return failures.tiles.contains(tile);
  };
  if (options.report_path.empty()) return Status::Ok();
  if (options.resume) {
    Result<ResumeIndex> index = ResumeIndex::Load(options.report_path);
    if (!index.ok()) return index.error();
    // The report's records of another shard count would be taken for this shard's.
    if (std::optional<Shard> last = index->LastShard();
        last && last->count != options.shard.count) {
      auto text = [](const Shard& shard) {
        return std::to_string(shard.index) + "/" + std::to_string(shard.count);
      };
      return Error(ErrorKind::kOther, "Cannot resume from the report " + options.report_path +
                                          ": it was written by shard " + text(*last) + " of " +
                                          std::to_string(last->count) + ", and this run is shard " +
                                          text(options.shard) + " of " +
                                          std::to_string(options.shard.count));
    }
    options.already_done = [index = std::make_shared<ResumeIndex>(std::move(index).value()),
                            settings = StepSettings(host, mdl)](
                               const std::string& step, const std::string& input,
                               const std::vector<std::string>& outputs) {
      auto found = settings.find(step);
      return index->Done(step, input, outputs, found == settings.end() ? "" : found->second);
    };
  }
  Result<ReportWriter> writer = OpenReport(options);
  if (!writer.ok() && options.report_in_user_state) {
    LogReportFailure(options, writer.status());
    return Status::Ok();
  }
  if (!writer.ok()) return writer.error();
  report.emplace(std::move(writer).value());
  report->WriteRunStart({.submission = options.submission,
                         .shard = options.shard,
                         .steps = StepNames(host),
                         .keep_going = options.keep_going,
                         .resume = options.resume});
  return Status::Ok();
}

std::string SignalName(int signal_number) {
  if (signal_number == SIGINT) return "SIGINT";
  if (signal_number == SIGTERM) return "SIGTERM";
  return signal_number == 0 ? "" : "signal " + std::to_string(signal_number);
}

}  // namespace

RunOutcome RunBatch(Host& window, BatchMdl& mdl, const RunOptions& given_options) {
  // --jobs N caps every thread of work the run starts, the ones inside one file included:
  // --jobs 1 runs on one core.
  tbb::global_control cores(tbb::global_control::max_allowed_parallelism,
                            static_cast<size_t>(PrefetchLimitsFor(given_options).threads));
  RunControlScope control_scope(given_options.control);
  // The boxes pass through to the window; the last one tells the report why a run stopped.
  BoxRecorder host(window);
  // A failure of the last run must not carry over into this one.
  mdl.bRunOk = false;
  // A folder that could not be tested stops the run like an error escaping a step.
  Status escaped = CheckCond(host, mdl);

  RunOptions options = given_options;
  // The cells each step writes, handed to the next within their share of the budget.
  std::optional<CellHandOver> hand_over;
  if (options.hand_over_cells && options.hand_over == nullptr) {
    options.hand_over = &hand_over.emplace(HandOverBytes(options));
  }
  std::optional<ReportWriter> report;
  FileFailures failures;
  if (escaped.ok()) {
    Status prepared = PrepareReport(host, mdl, options, report, failures);
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
  } else if (mdl.bRunOk && !(options.keep_going && !failures.records.empty())) {
    title = kFinishedTitle;
    text = kFinishedText;
    outcome = RunOutcome::kFinished;
  } else {
    title = kStoppedTitle;
    // A run that kept going has done all else it could: the user is told what is left.
    text = options.keep_going ? StoppedTextNaming(failures.records) : kStoppedText;
    outcome = RunOutcome::kStopped;
  }
  if (report) {
    RunEnd end{.finished = outcome == RunOutcome::kFinished, .message = title, .text = text};
    if (outcome == RunOutcome::kInterrupted && options.control != nullptr) {
      end.signal = SignalName(options.control->stop_signal());
    }
    if (outcome == RunOutcome::kStopped && text == kStoppedText) end.cause = host.last_box();
    report->WriteRunEnd(end, options.shard);
    // A report lost on the way (a full disk) is said. The window's run ends as it would have;
    // a run asked for its report is not finished without it.
    if (const Status& written = report->status(); !written.ok()) {
      if (options.report_in_user_state) {
        LogReportFailure(options, written);
      } else if (outcome == RunOutcome::kFinished) {
        outcome = RunOutcome::kStopped;
        title = kStoppedTitle;
        text = written.description();
      } else {
        host.MsgBox(written.description(), kStoppedTitle);
      }
    }
  }
  host.MsgBox(text, title);
  // Cleared only after the box closes: while it is open the last caption tells where the run was.
  host.SetStatus("");
  return outcome;
}

}  // namespace terravox
