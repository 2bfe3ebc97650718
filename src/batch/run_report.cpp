// ReportWriter and ReadFileRecords on nlohmann::json.
#include "batch/run_report.h"

#include <nlohmann/json.hpp>

namespace terravox {
namespace {

// Keys stay in the order written, so a report reads step, input, output, outcome first.
using json = nlohmann::ordered_json;

json Figure(int64_t value) { return value < 0 ? json(nullptr) : json(value); }

FileOutcome OutcomeFromName(const std::string& name) {
  if (name == "ok") return FileOutcome::kOk;
  if (name == "skipped") return FileOutcome::kSkipped;
  return FileOutcome::kFailed;
}

int64_t FigureFrom(const json& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() || !it->is_number_integer() ? -1 : it->get<int64_t>();
}

}  // namespace

Result<ReportWriter> ReportWriter::Open(const std::string& path, bool append) {
  std::ofstream out(path, append ? std::ios::app : std::ios::trunc);
  if (!out) return Error(ErrorKind::kOther, "Cannot write the report " + path);
  // A run killed mid-line leaves a line without its end; the new lines start on their own.
  if (append) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (in && in.tellg() > 0) {
      in.seekg(-1, std::ios::end);
      if (in.get() != '\n') out << '\n';
    }
  }
  return ReportWriter(std::move(out));
}

void ReportWriter::Write(const FileRecord& record) {
  json line = {{"step", record.step},
               {"input", record.input},
               {"output", record.output},
               {"outcome", OutcomeName(record.outcome)},
               {"error", record.error},
               {"seconds", record.seconds},
               {"points", Figure(record.points)},
               {"cells", Figure(record.cells)}};
  // Replacement rather than an exception for a name that is no UTF-8.
  out_ << line.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
}

void ReportWriter::WriteRunEnd(bool finished, const std::string& message, const Shard& shard) {
  json line = {
      {"step", kRunEndStep}, {"outcome", finished ? "finished" : "stopped"}, {"message", message}};
  if (shard.count > 1) {
    line["shard"] = std::to_string(shard.index) + "/" + std::to_string(shard.count);
  }
  out_ << line.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
}

Result<std::vector<FileRecord>> ReadFileRecords(const std::string& path) {
  std::ifstream in(path);
  if (!in) return Error(ErrorKind::kOther, "Cannot read the report " + path);
  std::vector<FileRecord> records;
  std::string text;
  while (std::getline(in, text)) {
    json line = json::parse(text, nullptr, false);
    if (!line.is_object()) continue;  // a line cut off by a kill
    if (line.value("step", "") == kRunEndStep) continue;
    FileRecord record;
    record.step = line.value("step", "");
    record.input = line.value("input", "");
    record.output = line.value("output", "");
    record.outcome = OutcomeFromName(line.value("outcome", ""));
    record.error = line.value("error", "");
    record.seconds = line.value("seconds", 0.0);
    record.points = FigureFrom(line, "points");
    record.cells = FigureFrom(line, "cells");
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace terravox
