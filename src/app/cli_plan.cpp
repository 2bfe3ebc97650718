// terravox-cli plan: the dry run. Takes run's options, validates, lists each step's files and
// scans each XYZ file; writes nothing. A table on stdout, or JSON with --json.
#include <charconv>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/cli_common.h"
#include "app/cli_run_flags.h"
#include "batch/check_cond.h"
#include "batch/final_message.h"
#include "batch/run_plan.h"

namespace terravox::cli {
namespace {

using nlohmann::json;

struct PlanFlags {
  RunFlags run;
  bool json = false;
  bool validate_only = false;
};

// Only the validation a run starts with, its boxes printed as the run prints them: what a
// submission checks before it queues anything. Exit 0 when a run would get past it.
int ValidateOnly(HeadlessHost& host, BatchMdl& mdl) {
  PrintMessagesToStderr(host);
  mdl.bRunOk = false;
  Status escaped = CheckCond(host, mdl);
  if (escaped.ok() && mdl.bRunOk) return kExitOk;
  host.MsgBox(escaped.ok() ? kStoppedText : escaped.description(), kStoppedTitle);
  return kExitFailed;
}

json ScanJson(const XyzScan& scan) {
  json out = {{"points", scan.points < 0 ? json(nullptr) : json(scan.points)},
              {"error", scan.error}};
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

json PlanJson(const RunPlan& plan, const Shard& shard) {
  json out = {{"valid", plan.valid}, {"steps", json::array()}};
  if (shard.count > 1)
    out["shard"] = std::to_string(shard.index) + "/" + std::to_string(shard.count);
  if (!plan.valid) out["validation"] = plan.validation_title + ": " + plan.validation_text;
  for (const PlannedStep& step : plan.steps) {
    json files = json::array();
    for (const PlannedFile& file : step.files) {
      json entry = {{"input", file.input}, {"output", file.output}};
      if (file.scan) entry.update(ScanJson(*file.scan));
      files.push_back(std::move(entry));
    }
    out["steps"].push_back({{"step", step.step}, {"files", std::move(files)}});
  }
  if (!plan.stops_because.empty()) out["stops"] = plan.stops_because;
  return out;
}

// Shortest text that reads back as the same number.
template <typename Value>
std::string Number(Value value) {
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : "?";
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
  if (!scan.error.empty()) text += "\n      error: " + scan.error;
  return text;
}

void PrintPlanTable(const RunPlan& plan, const Shard& shard) {
  if (shard.count > 1) std::cout << "shard " << shard.index << "/" << shard.count << "\n";
  if (!plan.valid) {
    std::cout << "validation fails: " << plan.validation_title << ": " << plan.validation_text
              << "\n";
    return;
  }
  std::cout << "validation passes\n";
  for (const PlannedStep& step : plan.steps) {
    std::cout << step.step << ": " << step.files.size()
              << (step.files.size() == 1 ? " file\n" : " files\n");
    for (const PlannedFile& file : step.files) {
      std::cout << "  " << file.input << " -> " << file.output << "\n";
      if (file.scan) std::cout << "    " << ScanText(*file.scan) << "\n";
    }
  }
  if (!plan.stops_because.empty()) std::cout << "stops: " << plan.stops_because << "\n";
}

bool AnyFileFails(const RunPlan& plan) {
  for (const PlannedStep& step : plan.steps) {
    for (const PlannedFile& file : step.files) {
      if (file.scan && !file.scan->error.empty()) return true;
    }
  }
  return false;
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
  if (flags.validate_only) return ValidateOnly(host, mdl);
  RunPlan plan = PlanRun(host, mdl, options);
  if (flags.json) {
    std::cout << PlanJson(plan, options.shard).dump(2, ' ', false, json::error_handler_t::replace)
              << "\n";
  } else {
    PrintPlanTable(plan, options.shard);
  }
  return plan.valid && !AnyFileFails(plan) ? kExitOk : kExitFailed;
}

SubcommandRun DefinePlan(CLI::App& sub) {
  auto flags = std::make_shared<PlanFlags>();
  AddRunFlags(sub, flags->run);
  sub.add_flag("--json", flags->json, "print the plan as JSON rather than a table");
  sub.add_flag("--validate-only", flags->validate_only,
               "only validate the settings as run does first, printing what run\n"
               "would print; exit 1 when run would stop at once");
  return [&sub, flags](const std::vector<std::string>& positional) {
    return RunPlanCommand(sub, *flags, positional);
  };
}

const bool kRegistered = RegisterSubcommand(
    {"plan", "RUN-OPTIONS... [--json]",
     "Show what run would do with the same options, writing nothing: validation, each step's\n"
     "      files, and each XYZ file's points, cell size, extent, columns x rows and error;\n"
     "      exit 0 when every file would succeed.",
     &DefinePlan});

}  // namespace
}  // namespace terravox::cli
