// terravox-cli plan: the dry run. Takes run's options, validates, lists each step's files, scans
// each XYZ file and runs the run's own checks; writes nothing (but the manifest it is asked for).
// The totals come first: what a submission costs. A table on stdout, or JSON with --json.
#include <charconv>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/cli_common.h"
#include "app/cli_run_flags.h"
#include "batch/check_cond.h"
#include "batch/extra_outputs.h"
#include "batch/final_message.h"
#include "batch/plan_costs.h"
#include "batch/resume_index.h"
#include "batch/run_plan.h"
#include "batch/shard_manifest.h"
#include "batch/step_settings.h"
#include "core/paths.h"

namespace terravox::cli {
namespace {

using nlohmann::json;

struct PlanFlags {
  RunFlags run;
  bool json = false;
  bool validate_only = false;
  int shards = 0;
};

// Only the validation a run starts with, its boxes printed as the run prints them: what a
// submission checks before it queues anything. Exit 0 when a run would get past it.
int ValidateOnly(HeadlessHost& host, BatchMdl& mdl, const RunOptions& options) {
  PrintMessagesToStderr(host);
  mdl.bRunOk = false;
  Status escaped = CheckCond(host, mdl);
  // The extra outputs' folders are checked before any step too: without them the run stops.
  if (escaped.ok() && mdl.bRunOk) escaped = CheckExtraOutputs(options);
  if (escaped.ok() && mdl.bRunOk) return kExitOk;
  host.MsgBox(escaped.ok() ? kStoppedText : escaped.description(), kStoppedTitle);
  return kExitFailed;
}

// Plain notation, the shortest that reads back as the same number: never an exponent.
template <typename Value>
std::string Number(Value value) {
  char text[400];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return ec == std::errc() ? std::string(text, end) : "?";
}

std::string Tiles(int64_t count) {
  return std::to_string(count) + (count == 1 ? " tile" : " tiles");
}

std::string Mebibytes(uint64_t bytes) { return std::to_string((bytes + (1 << 19)) >> 20) + " MiB"; }

json ScanJson(const XyzScan& scan) {
  json out = {{"points", scan.points < 0 ? json(nullptr) : json(scan.points)}};
  if (scan.cell_size > 0) {
    out["cell_size"] = scan.cell_size;
    out["cell_size_given"] = scan.cell_size_given;
  }
  if (scan.points > 0 && scan.shape.ncols > 0) {
    out["extent"] = {scan.min_x, scan.min_y, scan.max_x, scan.max_y};
  }
  if (scan.shape.ncols > 0) {
    out["columns"] = scan.shape.ncols;
    out["rows"] = scan.shape.nrows;
  }
  return out;
}

json FileJson(const PlannedFile& file) {
  json entry = {{"input", file.input},
                {"output", file.output},
                {"bytes", file.bytes},
                {"cells", file.cells < 0 ? json(nullptr) : json(file.cells)},
                {"error", file.error}};
  if (file.scan) entry.update(ScanJson(*file.scan));
  return entry;
}

json PlanJson(const RunPlan& plan, const PlanCosts& costs, const Shard& shard) {
  json out = {{"valid", plan.valid}, {"steps", json::array()}};
  if (shard.count > 1)
    out["shard"] = std::to_string(shard.index) + "/" + std::to_string(shard.count);
  if (!plan.valid) out["validation"] = plan.validation_title + ": " + plan.validation_text;
  json totals = json::array();
  for (const StepTotals& step : costs.steps) {
    totals.push_back({{"step", step.step},
                      {"tiles", step.tiles},
                      {"points", step.points < 0 ? json(nullptr) : json(step.points)},
                      {"bytes", step.bytes},
                      {"cells", step.cells},
                      {"done", step.done}});
  }
  out["totals"] = std::move(totals);
  if (costs.largest) out["largest"] = FileJson(*costs.largest);
  out["jobs"] = costs.threads;
  out["memory_budget"] = costs.budget;
  out["peak_memory"] = costs.peak_bytes;
  if (!costs.shards.empty()) {
    json shards = json::array();
    for (const ShardTotals& one : costs.shards) {
      shards.push_back({{"tiles", one.tiles}, {"bytes", one.bytes}});
    }
    out["shards"] = std::move(shards);
  }
  for (const PlannedStep& step : plan.steps) {
    json files = json::array();
    for (const PlannedFile& file : step.files) files.push_back(FileJson(file));
    out["steps"].push_back({{"step", step.step}, {"files", std::move(files)}, {"done", step.done}});
  }
  if (!plan.stops_because.empty()) out["stops"] = plan.stops_because;
  out["messages"] = plan.messages;
  out["final"] = plan.final_message;
  return out;
}

std::string ScanText(const XyzScan& scan) {
  std::string text =
      scan.points < 0 ? "  points not read" : "  " + std::to_string(scan.points) + " points";
  if (scan.cell_size > 0) {
    text += ", cell size " + Number(scan.cell_size) +
            (scan.cell_size_given ? " (given)" : " (derived)");
  }
  if (scan.shape.ncols > 0) {
    text += ", x " + Number(scan.min_x) + ".." + Number(scan.max_x) + ", y " + Number(scan.min_y) +
            ".." + Number(scan.max_y) + ", " + std::to_string(scan.shape.ncols) + " x " +
            std::to_string(scan.shape.nrows);
  }
  return text;
}

void PrintCosts(const PlanCosts& costs) {
  std::cout << "totals:\n";
  for (const StepTotals& step : costs.steps) {
    std::cout << "  " << step.step << ": " << Tiles(step.tiles);
    if (step.points >= 0) std::cout << ", " << step.points << " points";
    std::cout << ", " << step.bytes << " bytes, " << step.cells << " cells";
    if (step.done > 0) std::cout << " (" << step.done << " done already)";
    std::cout << "\n";
  }
  if (costs.largest) {
    std::cout << "largest tile: " << TerminalText(costs.largest->input) << ", "
              << costs.largest->bytes << " bytes";
    if (costs.largest->scan && costs.largest->scan->points >= 0) {
      std::cout << ", " << costs.largest->scan->points << " points";
    }
    if (costs.largest->cells >= 0) std::cout << ", " << costs.largest->cells << " cells";
    std::cout << "\n";
  }
  std::cout << "peak memory of one task at --jobs " << costs.threads << ": "
            << Mebibytes(costs.peak_bytes) << " (budget " << Mebibytes(costs.budget) << ")\n";
  for (size_t k = 0; k < costs.shards.size(); ++k) {
    std::cout << "  shard " << k << "/" << costs.shards.size() << ": "
              << Tiles(costs.shards[k].tiles) << ", " << costs.shards[k].bytes << " bytes\n";
  }
}

// Names reach the terminal as TerminalText shows them: a file name cannot forge a line.
void PrintPlanTable(const RunPlan& plan, const PlanCosts& costs, const Shard& shard) {
  if (shard.count > 1) std::cout << "shard " << shard.index << "/" << shard.count << "\n";
  if (!plan.valid) {
    std::cout << "validation fails: " << TerminalText(plan.validation_title) << ": "
              << TerminalText(plan.validation_text) << "\n";
    std::cout << "the run ends: " << TerminalText(plan.final_message) << "\n";
    return;
  }
  std::cout << "validation passes\n";
  PrintCosts(costs);
  for (const std::string& message : plan.messages) {
    std::cout << "message: " << TerminalText(message) << "\n";
  }
  if (!plan.stops_because.empty()) {
    std::cout << "stops: " << TerminalText(plan.stops_because) << "\n";
  }
  std::cout << "the run ends: " << TerminalText(plan.final_message) << "\n";
  for (const PlannedStep& step : plan.steps) {
    std::cout << step.step << ": " << step.files.size()
              << (step.files.size() == 1 ? " file\n" : " files\n");
    for (const PlannedFile& file : step.files) {
      std::cout << "  " << TerminalText(file.input) << " -> " << TerminalText(file.output) << "\n";
      if (file.scan) std::cout << "    " << ScanText(*file.scan) << "\n";
      if (!file.error.empty()) std::cout << "      error: " << TerminalText(file.error) << "\n";
    }
  }
}

// The reports of every shard of count, for a resumed plan of them all: each tile is checked
// against its own shard's report.
Status ResumeEveryShard(const std::string& report, int count, const HeadlessHost& host,
                        const BatchMdl& mdl, RunOptions& options) {
  auto indexes = std::make_shared<std::vector<ResumeIndex>>();
  for (int k = 0; k < count; ++k) {
    Result<ResumeIndex> index = ResumeIndex::Load(ShardPath(report, Shard(k, count)));
    if (!index.ok()) return index.error();
    indexes->push_back(std::move(index).value());
  }
  options.already_done = [indexes, count, settings = StepSettings(host, mdl)](
                             const std::string& step, const std::string& input,
                             const std::vector<std::string>& outputs) {
    const ResumeIndex& index =
        (*indexes)[static_cast<size_t>(ShardOf(LastPathPiece(input), count))];
    return index.Done(step, input, outputs, SettingsOf(settings, step));
  };
  return Status::Ok();
}

// The first step's tiles by size, into the manifest file; the costs then show its shares.
Status WriteManifest(const RunPlan& plan, const std::string& path, int count, RunOptions& options) {
  std::vector<SizedTile> tiles;
  if (!plan.steps.empty()) {
    for (const PlannedFile& file : plan.steps.front().files) {
      tiles.push_back({BaseName(LastPathPiece(file.input)), file.bytes});
    }
  }
  ShardManifest manifest = AssignBySize(std::move(tiles), count);
  if (Status s = WriteShardManifest(path, manifest, count); !s.ok()) {
    return Error(s.error().kind(), "cannot write the manifest " + path + ": " + s.description());
  }
  options.shard.manifest = std::make_shared<const ShardManifest>(std::move(manifest));
  return Status::Ok();
}

int RunPlanCommand(const CLI::App& sub, const PlanFlags& flags,
                   const std::vector<std::string>& positional) {
  if (!positional.empty()) {
    return UsageError("plan takes no arguments besides options: " + positional[0]);
  }
  HeadlessHost host;
  BatchMdl mdl;
  RunOptions options;
  if (Status s = ApplyRunFlags(sub, flags.run, host, mdl, options); !s.ok()) {
    return UsageError(s.description());
  }
  if (flags.validate_only) return ValidateOnly(host, mdl, options);
  const bool per_shard = sub.count("--shards") > 0;
  if (per_shard && (flags.shards < 1 || sub.count("--shard") > 0)) {
    return UsageError("--shards takes a count of 1 or more, and goes without --shard");
  }
  if (per_shard && options.resume) {
    if (Status s = ResumeEveryShard(flags.run.report, flags.shards, host, mdl, options); !s.ok()) {
      PrintError(s.description());
      return kExitFailed;
    }
  }
  RunPlan plan = PlanRun(host, mdl, options);
  if (per_shard && !flags.run.manifest.empty()) {
    if (Status s = WriteManifest(plan, flags.run.manifest, flags.shards, options); !s.ok()) {
      PrintError(s.description());
      return kExitFailed;
    }
  }
  const PlanCosts costs = CostPlan(plan, host, options, per_shard ? flags.shards : 0);
  if (flags.json) {
    std::cout
        << PlanJson(plan, costs, options.shard).dump(2, ' ', false, json::error_handler_t::replace)
        << "\n";
  } else {
    PrintPlanTable(plan, costs, options.shard);
  }
  return plan.valid && plan.finishes() ? kExitOk : kExitFailed;
}

SubcommandRun DefinePlan(CLI::App& sub) {
  auto flags = std::make_shared<PlanFlags>();
  AddRunFlags(sub, flags->run);
  sub.add_flag("--json", flags->json, "print the plan as JSON rather than a table");
  sub.add_flag("--validate-only", flags->validate_only,
               "only validate the settings as run does first, printing what run\n"
               "would print; exit 1 when run would stop at once");
  sub.add_option("--shards", flags->shards,
                 "show each of N shards' tiles and bytes; with --manifest FILE, assign\n"
                 "the tiles to the shards by size (largest first to the lightest) into FILE")
      ->option_text("N");
  return [&sub, flags](const std::vector<std::string>& positional) {
    return RunPlanCommand(sub, *flags, positional);
  };
}

const bool kRegistered = RegisterSubcommand(
    {"plan", "RUN-OPTIONS... [--shards N [--manifest FILE]] [--json]",
     "Show what run would do with the same options, writing nothing: the totals per step, the\n"
     "      largest tile, the peak memory of one task, each shard's share; then each step's\n"
     "      files, each XYZ file's points, cell size, extent and columns x rows, every error\n"
     "      the run would give and how it would end, in its words; exit 0 when it would\n"
     "      finish.",
     &DefinePlan});

}  // namespace
}  // namespace terravox::cli
