// terravox-cli report: the summary of one or more per-file reports (a run's, or its shards'):
// counts per step, failures with reasons, the slowest files. Optionally merges them into one
// report in a run's order, and ends with the run's final message and exit code, as the final
// job of a cluster run does.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/cli_common.h"
#include "app/cli_report_html.h"
#include "batch/run_report.h"
#include "core/folder_listing.h"
#include "core/paths.h"
#include "core/shard.h"

namespace terravox::cli {
namespace {

// Keys stay in the order written, so a report reads step, input, output, outcome first.
using json = nlohmann::ordered_json;

constexpr const char* kFinishedText = "All files in the folders were finished";
constexpr const char* kFinishedTitle = "Program is Finished";
constexpr const char* kStoppedText = "There are some errors happened during processing";
constexpr const char* kStoppedTitle = "Program is Stopped";
constexpr size_t kSlowestShown = 5;

struct ReportFlags {
  std::string merge;
  bool final_message = false;
  int shards = 0;
  std::string html;
};

struct Loaded {
  std::vector<json> files;  // file records, in the order read
  std::vector<json> runs;   // run-end records
  bool complete = true;     // every report could be read
};

Loaded Load(const std::vector<std::string>& paths) {
  Loaded loaded;
  for (const std::string& path : paths) {
    std::ifstream in(path);
    if (!in) {
      PrintError("cannot read the report " + path);
      loaded.complete = false;
      continue;
    }
    for (std::string text; std::getline(in, text);) {
      json line = json::parse(text, nullptr, false);
      if (!line.is_object()) continue;  // a line cut off by a killed run
      (line.value("step", "") == kRunEndStep ? loaded.runs : loaded.files).push_back(line);
    }
  }
  return loaded;
}

// The place of a record in one run: the XYZ step, then ASCII to GRID, each in listing order;
// then the raster walk raster by raster, slope before contours.
std::tuple<int, std::string, int> RunOrder(const json& record) {
  const std::string step = record.value("step", "");
  const int phase = step == kStepXyz2Ascii ? 0 : step == kStepAscii2Grid ? 1 : 2;
  return {phase, LastPathPiece(record.value("input", "")), step == kStepContours ? 1 : 0};
}

void SortInRunOrder(std::vector<json>& records) {
  std::stable_sort(records.begin(), records.end(), [](const json& a, const json& b) {
    auto [phase_a, name_a, rank_a] = RunOrder(a);
    auto [phase_b, name_b, rank_b] = RunOrder(b);
    if (phase_a != phase_b) return phase_a < phase_b;
    if (name_a != name_b) return FileNameLess(name_a, name_b);
    return rank_a < rank_b;
  });
}

// Finished only when every expected shard reported its end and each finished. A resumed shard
// appends to its report: its last end counts.
bool RunFinished(const Loaded& loaded, int shards_expected) {
  if (!loaded.complete || loaded.runs.empty()) return false;
  std::map<std::string, bool> finished;  // shard ("" for a whole run) -> its last end
  int count = 0;
  for (const json& run : loaded.runs) {
    const std::string shard = run.value("shard", "");
    finished[shard] = run.value("outcome", "") == "finished";
    if (Result<Shard> parsed = ParseShard(shard); parsed.ok()) count = parsed->count;
  }
  for (const auto& [shard, done] : finished) {
    if (!done) return false;
  }
  if (shards_expected > 0) count = shards_expected;
  if (count > 1) return finished.size() == static_cast<size_t>(count) && !finished.contains("");
  return true;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

void PrintSummary(const Loaded& loaded) {
  const char* kSteps[] = {kStepXyz2Ascii, kStepAscii2Grid, kStepSlope, kStepContours};
  std::map<std::string, std::map<std::string, int>> counts;
  std::map<std::string, double> seconds;
  for (const json& record : loaded.files) {
    const std::string step = record.value("step", "");
    ++counts[step][record.value("outcome", "")];
    seconds[step] += record.value("seconds", 0.0);
  }
  std::printf("%-12s %8s %8s %8s %10s\n", "step", "ok", "failed", "skipped", "seconds");
  for (const char* step : kSteps) {
    if (!counts.contains(step)) continue;
    std::map<std::string, int>& c = counts[step];
    std::printf("%-12s %8d %8d %8d %10s\n", step, c["ok"], c["failed"], c["skipped"],
                Seconds(seconds[step]).c_str());
  }

  std::vector<const json*> failures;
  std::vector<const json*> timed;
  for (const json& record : loaded.files) {
    if (record.value("outcome", "") == "failed") failures.push_back(&record);
    if (record.value("outcome", "") != "skipped") timed.push_back(&record);
  }
  std::printf("\nfailures: %zu\n", failures.size());
  for (const json* record : failures) {
    std::printf("  %-10s %s\n      %s\n", record->value("step", "").c_str(),
                record->value("input", "").c_str(), record->value("error", "").c_str());
  }
  std::stable_sort(timed.begin(), timed.end(), [](const json* a, const json* b) {
    return a->value("seconds", 0.0) > b->value("seconds", 0.0);
  });
  if (timed.size() > kSlowestShown) timed.resize(kSlowestShown);
  std::printf("\nslowest files:\n");
  for (const json* record : timed) {
    std::printf("  %8s s  %-10s %s\n", Seconds(record->value("seconds", 0.0)).c_str(),
                record->value("step", "").c_str(), record->value("input", "").c_str());
  }
}

Status WriteMerged(const std::string& path, std::vector<json> files, bool finished) {
  SortInRunOrder(files);
  std::ofstream out(path, std::ios::trunc);
  if (!out) return Error(ErrorKind::kOther, "cannot write " + path);
  for (const json& record : files) {
    out << record.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
  }
  json end = {{"step", kRunEndStep},
              {"outcome", finished ? "finished" : "stopped"},
              {"message", finished ? kFinishedTitle : kStoppedTitle}};
  out << end.dump() << '\n';
  out.close();
  if (!out) return Error(ErrorKind::kOther, "cannot write " + path);
  return Status::Ok();
}

int RunReport(const ReportFlags& flags, const std::vector<std::string>& positional) {
  if (positional.empty()) return UsageError("report takes one or more report files");
  Loaded loaded = Load(positional);
  const bool finished = RunFinished(loaded, flags.shards);
  PrintSummary(loaded);
  if (!flags.merge.empty()) {
    if (Status s = WriteMerged(flags.merge, loaded.files, finished); !s.ok()) {
      PrintError(s.description());
      return kExitFailed;
    }
  }
  if (!flags.html.empty()) {
    if (int code = WriteReportPage(positional, flags.html, finished); code != kExitOk) return code;
  }
  if (!flags.final_message) return loaded.complete ? kExitOk : kExitFailed;
  std::cerr << (finished ? kFinishedTitle : kStoppedTitle) << ": "
            << (finished ? kFinishedText : kStoppedText) << '\n';
  return finished ? kExitOk : kExitFailed;
}

SubcommandRun DefineReport(CLI::App& sub) {
  auto flags = std::make_shared<ReportFlags>();
  sub.add_option("--merge", flags->merge, "write the reports as one, in a run's order")
      ->option_text("OUT");
  sub.add_flag("--final", flags->final_message,
               "end with the run's final message and exit code: finished only when\n"
               "every shard reported that it finished");
  sub.add_option("--shards", flags->shards, "the number of shards expected (with --final)")
      ->option_text("N");
  sub.add_option("--html", flags->html,
                 "write a page with an overview map, a table of the tiles and their\n"
                 "pictures; the pictures go into OUT_files beside it")
      ->option_text("OUT.html");
  return
      [flags](const std::vector<std::string>& positional) { return RunReport(*flags, positional); };
}

const bool kRegistered = RegisterSubcommand(
    {"report", "FILE... [--merge OUT] [--final] [--shards N] [--html OUT.html]",
     "Summarise per-file reports (run --report): counts per step, failures with reasons,\n"
     "      the slowest files.",
     &DefineReport});

}  // namespace
}  // namespace terravox::cli
