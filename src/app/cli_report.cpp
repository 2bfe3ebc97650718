// terravox-cli report: the account of one or more per-file reports (a run's, or its shards'):
// first what became of every shard and every tile, in a few lines; then counts per step,
// failures with reasons, the slowest files. Optionally merges them into one report in a run's
// order and the shards' contour GeoPackages into one, and ends with the run's final message and
// exit code, as the final job of a cluster run does.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli_common.h"
#include "app/cli_report_html.h"
#include "batch/extra_outputs.h"
#include "batch/final_message.h"
#include "batch/report_reader.h"
#include "batch/run_accounting.h"
#include "batch/run_report.h"
#include "core/folder_listing.h"
#include "core/paths.h"
#include "core/pending_file.h"
#include "core/shard.h"

namespace terravox::cli {
namespace {

constexpr size_t kSlowestShown = 5;
// Shards and tiles named in the account before "and N more"; the details name them all.
constexpr size_t kNamedInAccount = 10;

struct ReportFlags {
  std::string merge;
  bool final_message = false;
  int shards = 0;
  std::string submission;
  std::string html;
  std::string contour_gpkg;
};

struct Loaded {
  std::vector<Report> reports;
  int skipped_lines = 0;
  bool complete = true;  // every report could be read
};

// With --final a report that is not there belongs to a shard that never started: the account
// says so. Any other report that cannot be read is an error.
Loaded Load(const std::vector<std::string>& paths, bool final_job) {
  Loaded loaded;
  for (const std::string& path : paths) {
    Result<Report> report = ReadReport(path);
    if (!report.ok()) {
      if (final_job && report.error().kind() == ErrorKind::kFileNotFound) continue;
      PrintError(report.error().description());
      loaded.complete = false;
      continue;
    }
    loaded.skipped_lines += report->skipped_lines;
    loaded.reports.push_back(std::move(report).value());
  }
  return loaded;
}

// The place of a record in one run: the XYZ step, then ASCII to GRID, each in listing order;
// then the raster walk raster by raster, slope before contours.
std::tuple<int, std::string, int> RunOrder(const FileRecord& record) {
  const int phase = record.step == kStepXyz2Ascii ? 0 : record.step == kStepAscii2Grid ? 1 : 2;
  return {phase, LastPathPiece(record.input), record.step == kStepContours ? 1 : 0};
}

void SortInRunOrder(std::vector<FileRecord>& records) {
  std::stable_sort(records.begin(), records.end(), [](const FileRecord& a, const FileRecord& b) {
    auto [phase_a, name_a, rank_a] = RunOrder(a);
    auto [phase_b, name_b, rank_b] = RunOrder(b);
    if (phase_a != phase_b) return phase_a < phase_b;
    if (name_a != name_b) return FileNameLess(name_a, name_b);
    return rank_a < rank_b;
  });
}

std::string ShardText(const Shard& shard) {
  return std::to_string(shard.index) + "/" + std::to_string(shard.count);
}

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

std::string ShardLine(const ShardAccount& shard) {
  switch (shard.state) {
    case ShardState::kFinished:
      return "finished";
    case ShardState::kStopped:
      return "stopped: " + shard.reason;
    case ShardState::kNeverStarted:
      return "never started";
    case ShardState::kOther:
      return "not counted: " + shard.reason;
  }
  return "";
}

std::string TileLine(const TileAccount& tile) {
  std::string text = tile.tile;
  if (tile.shard.count > 1) text += " (shard " + ShardText(tile.shard) + ")";
  std::string sep = ": ";
  for (const FileRecord& failed : tile.failed) {
    text += sep + "failed " + failed.step + " " + failed.input;
    if (!failed.error.empty()) text += " (" + failed.error + ")";
    sep = "; ";
  }
  if (!tile.not_processed.empty()) {
    text +=
        sep + "not processed: " + Joined(tile.not_processed) + " (" + tile.why_not_processed + ")";
  }
  return text;
}

// Prints up to limit lines of items, then how many more there are.
template <typename Item, typename Line>
void PrintList(const std::vector<const Item*>& items, size_t limit, Line line) {
  for (size_t i = 0; i < items.size() && i < limit; ++i) {
    std::printf("  %s\n", TerminalText(line(*items[i])).c_str());
  }
  if (items.size() > limit) std::printf("  and %zu more (listed below)\n", items.size() - limit);
}

void PrintAccount(const RunAccount& run, const Loaded& loaded) {
  std::map<ShardState, int> states;
  std::vector<const ShardAccount*> unfinished;
  for (const ShardAccount& shard : run.shards) {
    ++states[shard.state];
    if (shard.state != ShardState::kFinished) unfinished.push_back(&shard);
  }
  std::string whose = run.submission.empty() ? "" : " of submission " + run.submission;
  std::printf("run%s in %d shard%s: %d finished, %d stopped, %d never started, %d not counted\n",
              TerminalText(whose).c_str(), run.shard_count, run.shard_count == 1 ? "" : "s",
              states[ShardState::kFinished], states[ShardState::kStopped],
              states[ShardState::kNeverStarted], states[ShardState::kOther]);
  auto shard_line = [](const ShardAccount& shard) {
    return "shard " + ShardText(shard.shard) + " " + ShardLine(shard);
  };
  PrintList(unfinished, kNamedInAccount, shard_line);
  std::printf("tiles: %d in the reports, %d done in every step, %zu not\n", run.tiles,
              run.tiles - static_cast<int>(run.not_done.size()), run.not_done.size());
  std::vector<const TileAccount*> not_done;
  for (const TileAccount& tile : run.not_done) not_done.push_back(&tile);
  PrintList(not_done, kNamedInAccount, TileLine);
  if (loaded.skipped_lines > 0) {
    std::printf("%d report line%s skipped: no record (cut off, malformed or of a wrong type)\n",
                loaded.skipped_lines, loaded.skipped_lines == 1 ? "" : "s");
  }
  if (unfinished.size() > kNamedInAccount) {
    std::printf("\nshards not finished:\n");
    PrintList(unfinished, unfinished.size(), shard_line);
  }
  if (not_done.size() > kNamedInAccount) {
    std::printf("\ntiles not done:\n");
    PrintList(not_done, not_done.size(), TileLine);
  }
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

void PrintDetails(const std::vector<FileRecord>& files) {
  const char* kSteps[] = {kStepXyz2Ascii, kStepAscii2Grid, kStepSlope, kStepContours};
  std::map<std::string, std::map<FileOutcome, int>> counts;
  std::map<std::string, double> seconds;
  for (const FileRecord& record : files) {
    ++counts[record.step][record.outcome];
    seconds[record.step] += record.seconds;
  }
  std::printf("\n%-12s %8s %8s %8s %10s\n", "step", "ok", "failed", "skipped", "seconds");
  for (const char* step : kSteps) {
    if (!counts.contains(step)) continue;
    std::map<FileOutcome, int>& c = counts[step];
    std::printf("%-12s %8d %8d %8d %10s\n", step, c[FileOutcome::kOk], c[FileOutcome::kFailed],
                c[FileOutcome::kSkipped], Seconds(seconds[step]).c_str());
  }

  std::vector<const FileRecord*> failures;
  std::vector<const FileRecord*> timed;
  for (const FileRecord& record : files) {
    if (record.outcome == FileOutcome::kFailed) failures.push_back(&record);
    if (record.outcome != FileOutcome::kSkipped) timed.push_back(&record);
  }
  std::printf("\nfailures: %zu\n", failures.size());
  for (const FileRecord* record : failures) {
    std::printf("  %-10s %s\n      %s\n", TerminalText(record->step).c_str(),
                TerminalText(record->input).c_str(), TerminalText(record->error).c_str());
  }
  std::stable_sort(timed.begin(), timed.end(), [](const FileRecord* a, const FileRecord* b) {
    return a->seconds > b->seconds;
  });
  if (timed.size() > kSlowestShown) timed.resize(kSlowestShown);
  std::printf("\nslowest files:\n");
  for (const FileRecord* record : timed) {
    std::printf("  %8s s  %-10s %s\n", Seconds(record->seconds).c_str(),
                TerminalText(record->step).c_str(), TerminalText(record->input).c_str());
  }
}

// The merged report is written beside OUT and renamed over it, so a link at OUT is replaced,
// never written through; OUT must be a regular file if it exists.
Status WriteMerged(const std::string& path, const RunAccount& run, const RunEnd& end) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    return Error(ErrorKind::kOther, "cannot write " + path +
                                        (S_ISLNK(info.st_mode) ? ": it is a symbolic link"
                                                               : ": it is not a regular file"));
  }
  std::vector<FileRecord> files = run.files;
  SortInRunOrder(files);
  std::string text = RunStartLine({.submission = run.submission,
                                   .shard = {},
                                   .steps = run.steps,
                                   .keep_going = run.keep_going,
                                   .resume = false}) +
                     "\n";
  for (const FileRecord& record : files) text += FileRecordLine(record) + "\n";
  text += RunEndLine(end, {}) + "\n";
  PendingFile merged;
  Status s = merged.Create(path);
  if (s.ok()) s = merged.Write(text);
  if (s.ok()) s = merged.Commit();
  if (!s.ok()) return Error(ErrorKind::kOther, "cannot write " + path + ": " + s.description());
  return Status::Ok();
}

// The contour GeoPackages that the counted shards wrote (run --shard names them from path) merged
// into path; a shard that never started, or ran for another submission, adds nothing. One shard
// wrote path itself.
Status MergeShardPackages(const std::string& path, const RunAccount& run) {
  if (run.shard_count <= 1) return Status::Ok();
  std::vector<std::string> inputs;
  for (const ShardAccount& shard : run.shards) {
    if (shard.state != ShardState::kFinished && shard.state != ShardState::kStopped) continue;
    std::string input = ShardPath(path, Shard(shard.shard.index, run.shard_count));
    std::error_code ec;
    if (std::filesystem::exists(input, ec)) inputs.push_back(std::move(input));
  }
  if (Status s = MergeContourPackages(path, inputs); !s.ok()) {
    return Error(s.error().kind(),
                 "cannot merge the contours into " + path + ": " + s.description());
  }
  std::printf("\ncontours of %zu shard%s merged into %s\n", inputs.size(),
              inputs.size() == 1 ? "" : "s", TerminalText(path).c_str());
  return Status::Ok();
}

int RunReport(const ReportFlags& flags, const std::vector<std::string>& positional) {
  if (positional.empty()) return UsageError("report takes one or more report files");
  Loaded loaded = Load(positional, flags.final_message);
  // Nothing to account for: the errors said why.
  if (loaded.reports.empty() && !loaded.complete) return kExitFailed;
  const RunAccount run = AccountRun(loaded.reports, flags.submission, flags.shards);
  PrintAccount(run, loaded);
  PrintDetails(run.files);
  bool merged = true;
  if (!flags.contour_gpkg.empty()) {
    if (Status s = MergeShardPackages(flags.contour_gpkg, run); !s.ok()) {
      PrintError(s.description());
      merged = false;
    }
  }
  // A run whose contours could not be put together has not left all it should.
  const bool finished = loaded.complete && run.finished && merged;

  RunEnd end{.finished = finished, .message = finished ? kFinishedTitle : kStoppedTitle};
  if (finished) {
    end.text = kFinishedText;
  } else {
    std::vector<FileRecord> failures;
    for (const FileRecord& record : run.files) {
      if (record.outcome == FileOutcome::kFailed) failures.push_back(record);
    }
    SortInRunOrder(failures);
    // As a run that keeps going would say it; otherwise the run's own words.
    end.text = run.keep_going ? StoppedTextNaming(failures) : kStoppedText;
  }
  if (!flags.merge.empty()) {
    if (Status s = WriteMerged(flags.merge, run, end); !s.ok()) {
      PrintError(s.description());
      return kExitFailed;
    }
  }
  if (!flags.html.empty()) {
    if (int code = WriteReportPage(positional, flags.html, finished); code != kExitOk) return code;
  }
  if (!flags.final_message) return loaded.complete && merged ? kExitOk : kExitFailed;
  std::cerr << end.message << ": " << TerminalText(end.text) << '\n';
  return finished ? kExitOk : kExitFailed;
}

SubcommandRun DefineReport(CLI::App& sub) {
  auto flags = std::make_shared<ReportFlags>();
  sub.add_option("--merge", flags->merge, "write the reports as one, in a run's order")
      ->option_text("OUT");
  sub.add_flag("--final", flags->final_message,
               "end with the run's final message and exit code: finished only when\n"
               "every shard finished and every tile went through every step;\n"
               "a missing report is a shard that never started");
  sub.add_option("--shards", flags->shards, "the number of shards of the run (else as reported)")
      ->option_text("N");
  sub.add_option("--submission", flags->submission,
                 "count only the runs of this submission (else the one most\n"
                 "of the reports' runs belong to)")
      ->option_text("ID");
  sub.add_option("--html", flags->html,
                 "write a page with an overview map, a table of the tiles and their\n"
                 "pictures; the pictures go into OUT_files beside it")
      ->option_text("OUT.html");
  sub.add_option("--contour-gpkg", flags->contour_gpkg,
                 "merge the contour GeoPackages of the shards counted (run --shard\n"
                 "--contour-gpkg FILE: FILE.shard-K or %K) into FILE")
      ->option_text("FILE");
  return
      [flags](const std::vector<std::string>& positional) { return RunReport(*flags, positional); };
}

const bool kRegistered = RegisterSubcommand(
    {"report",
     "FILE... [--merge OUT] [--final] [--shards N] [--submission ID]\n"
     "      [--html OUT.html] [--contour-gpkg FILE]",
     "Account for per-file reports (run --report): every shard and every tile first, then\n"
     "      counts per step, failures with reasons, the slowest files.",
     &DefineReport});

}  // namespace
}  // namespace terravox::cli
