// ReportWriter and ReadFileRecords on nlohmann::json.
#include "batch/run_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>

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

// NaN (written as null) when the key holds no number.
double RealFrom(const json& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() || !it->is_number() ? NAN : it->get<double>();
}

std::string TextFrom(const json& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() || !it->is_string() ? std::string() : it->get<std::string>();
}

json QuicklookJson(const Quicklook& look) {
  return {{"hillshade", look.hillshade}, {"slope", look.slope},
          {"west", look.west},           {"south", look.south},
          {"east", look.east},           {"north", look.north},
          {"srs", look.srs_name},        {"unit", look.unit},
          {"z_min", look.z_min},         {"z_max", look.z_max},
          {"slope_max", look.slope_max}, {"contour_lines", Figure(look.contour_lines)}};
}

// A record's pictures; none unless it holds the tile's extent.
std::optional<Quicklook> QuicklookFrom(const json& record) {
  auto it = record.find("quicklook");
  if (it == record.end() || !it->is_object()) return std::nullopt;
  Quicklook look;
  look.hillshade = TextFrom(*it, "hillshade");
  look.slope = TextFrom(*it, "slope");
  look.west = RealFrom(*it, "west");
  look.south = RealFrom(*it, "south");
  look.east = RealFrom(*it, "east");
  look.north = RealFrom(*it, "north");
  // Only an extent that places the tile: a hostile report may hold anything.
  if (!(look.west < look.east) || !(look.south < look.north) ||
      !std::isfinite(look.east - look.west) || !std::isfinite(look.north - look.south)) {
    return std::nullopt;
  }
  look.srs_name = TextFrom(*it, "srs");
  look.unit = TextFrom(*it, "unit");
  look.z_min = RealFrom(*it, "z_min");
  look.z_max = RealFrom(*it, "z_max");
  look.slope_max = RealFrom(*it, "slope_max");
  look.contour_lines = FigureFrom(*it, "contour_lines");
  return look;
}

}  // namespace

Result<ReportWriter> ReportWriter::Open(const std::string& path, bool append) {
  auto failure = [&](const std::string& reason) {
    return Error(ErrorKind::kOther, "Cannot write the report " + path + ": " + reason);
  };
  int fd = ::open(path.c_str(),
                  O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : 0),
                  0666);
  if (fd < 0) return failure(Error::FromErrno(errno).description());
  UniqueFd report(fd);
  struct stat info {};
  if (::fstat(report.get(), &info) != 0) return failure(Error::FromErrno(errno).description());
  if (!S_ISREG(info.st_mode)) return failure("it is not a regular file");
  if (!append && ::ftruncate(report.get(), 0) != 0) {
    return failure(Error::FromErrno(errno).description());
  }
  // A run killed mid-line leaves a line without its end; the new lines start on their own.
  char last = '\n';
  if (append && info.st_size > 0 && ::pread(report.get(), &last, 1, info.st_size - 1) == 1 &&
      last != '\n') {
    if (Status s = WriteAll(report.get(), "\n"); !s.ok()) return failure(s.description());
  }
  return ReportWriter(std::move(report));
}

void ReportWriter::WriteLine(std::string line) {
  line += '\n';
  // A report that cannot be written must not stop the work it reports on.
  (void)WriteAll(fd_.get(), line);
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
  if (record.quicklook) line["quicklook"] = QuicklookJson(*record.quicklook);
  // Replacement rather than an exception for a name that is no UTF-8.
  WriteLine(line.dump(-1, ' ', false, json::error_handler_t::replace));
}

void ReportWriter::WriteRunEnd(bool finished, const std::string& message, const Shard& shard) {
  json line = {
      {"step", kRunEndStep}, {"outcome", finished ? "finished" : "stopped"}, {"message", message}};
  if (shard.count > 1) {
    line["shard"] = std::to_string(shard.index) + "/" + std::to_string(shard.count);
  }
  WriteLine(line.dump(-1, ' ', false, json::error_handler_t::replace));
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
    record.quicklook = QuicklookFrom(line);
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace terravox
