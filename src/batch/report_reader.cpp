// ReadReport: bounded line reading, a nesting check before parsing, and typed fields, so no line
// can crash, hang or abort the reader; a line that is not a record is counted and skipped.
#include "batch/report_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string_view>
#include <utility>

#include "batch/run_report.h"
#include "core/unique_fd.h"
#include "core/utf8_text.h"

namespace terravox {
namespace {

using json = nlohmann::json;

// No record is longer: paths, an error text and a few numbers. A longer line is no record.
constexpr size_t kMaxLineBytes = size_t{1} << 20;
// A start record nests two deep (an object holding an array of steps).
constexpr int kMaxNesting = 4;

bool NestsDeeperThan(std::string_view text, int limit) {
  int depth = 0;
  bool in_string = false;
  bool escaped = false;
  for (char c : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      if (++depth > limit) return true;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return false;
}

// Each reads an optional field into out; false when the field is there with another type.
bool Text(const json& line, const char* key, std::string& out) {
  auto it = line.find(key);
  if (it == line.end()) return true;
  if (!it->is_string()) return false;
  out = it->get<std::string>();
  return true;
}

bool Flag(const json& line, const char* key, bool& out) {
  auto it = line.find(key);
  if (it == line.end()) return true;
  if (!it->is_boolean()) return false;
  out = it->get<bool>();
  return true;
}

// An integer, or null for "not known" (-1).
bool Figure(const json& line, const char* key, int64_t& out) {
  auto it = line.find(key);
  if (it == line.end() || it->is_null()) return true;
  if (!it->is_number_integer()) return false;
  out = it->get<int64_t>();
  return true;
}

bool Number(const json& line, const char* key, double& out) {
  auto it = line.find(key);
  if (it == line.end()) return true;
  if (!it->is_number()) return false;
  out = it->get<double>();
  return true;
}

bool ShardField(const json& line, std::optional<Shard>& out) {
  std::string text;
  if (!Text(line, "shard", text)) return false;
  if (text.empty()) return true;
  Result<Shard> shard = ParseShard(text);
  if (!shard.ok()) return false;
  out = *shard;
  return true;
}

std::optional<RunStart> ParseStart(const json& line, std::optional<Shard>& shard) {
  RunStart start;
  if (!Text(line, "submission", start.submission) || !ShardField(line, shard) ||
      !Flag(line, "keep_going", start.keep_going) || !Flag(line, "resume", start.resume)) {
    return std::nullopt;
  }
  if (auto it = line.find("steps"); it != line.end()) {
    if (!it->is_array()) return std::nullopt;
    for (const json& step : *it) {
      if (!step.is_string()) return std::nullopt;
      start.steps.push_back(step.get<std::string>());
    }
  }
  if (shard) start.shard = *shard;
  return start;
}

std::optional<RunEnd> ParseEnd(const json& line, std::optional<Shard>& shard) {
  RunEnd end;
  std::string outcome;
  if (!Text(line, "outcome", outcome) || (outcome != "finished" && outcome != "stopped") ||
      !Text(line, "message", end.message) || !Text(line, "text", end.text) ||
      !Text(line, "signal", end.signal) || !Text(line, "cause", end.cause) ||
      !ShardField(line, shard)) {
    return std::nullopt;
  }
  end.finished = outcome == "finished";
  return end;
}

// NaN when the key holds no number (null: not known).
double RealOr(const json& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() || !it->is_number() ? NAN : it->get<double>();
}

// A record's pictures: none unless the object holds an extent that places the tile, whatever
// else a hostile report puts there.
std::optional<Quicklook> ParseQuicklook(const json& line) {
  auto it = line.find("quicklook");
  if (it == line.end() || !it->is_object()) return std::nullopt;
  Quicklook look;
  int64_t lines = -1;
  if (!Text(*it, "hillshade", look.hillshade) || !Text(*it, "slope", look.slope) ||
      !Text(*it, "srs", look.srs_name) || !Text(*it, "unit", look.unit) ||
      !Figure(*it, "contour_lines", lines)) {
    return std::nullopt;
  }
  look.contour_lines = lines;
  look.west = RealOr(*it, "west");
  look.south = RealOr(*it, "south");
  look.east = RealOr(*it, "east");
  look.north = RealOr(*it, "north");
  if (!(look.west < look.east) || !(look.south < look.north) ||
      !std::isfinite(look.east - look.west) || !std::isfinite(look.north - look.south)) {
    return std::nullopt;
  }
  look.z_min = RealOr(*it, "z_min");
  look.z_max = RealOr(*it, "z_max");
  look.slope_max = RealOr(*it, "slope_max");
  return look;
}

std::optional<FileRecord> ParseFile(const json& line, std::string step) {
  FileRecord record;
  record.step = std::move(step);
  std::string outcome;
  if (!Text(line, "input", record.input) || !Text(line, "output", record.output) ||
      !Text(line, "outcome", outcome) || !Text(line, "error", record.error) ||
      !Number(line, "seconds", record.seconds) || !Figure(line, "points", record.points) ||
      !Figure(line, "cells", record.cells) || !Text(line, "settings", record.settings) ||
      !Figure(line, "input_size", record.input_size) ||
      !Figure(line, "input_time", record.input_time)) {
    return std::nullopt;
  }
  // A name that is no UTF-8 is stored as text for reading and as its bytes in hex.
  for (auto [key, name] : {std::pair{"input_hex", &record.input}, {"output_hex", &record.output}}) {
    std::string hex;
    if (!Text(line, key, hex)) return std::nullopt;
    if (hex.empty()) continue;
    *name = FromHex(hex);
    if (name->empty()) return std::nullopt;
  }
  if (record.input.empty()) return std::nullopt;
  record.quicklook = ParseQuicklook(line);
  if (outcome == "ok") {
    record.outcome = FileOutcome::kOk;
  } else if (outcome == "failed") {
    record.outcome = FileOutcome::kFailed;
  } else if (outcome == "skipped") {
    record.outcome = FileOutcome::kSkipped;
  } else {
    return std::nullopt;
  }
  return record;
}

// Adds one line to the report; false when it is no record.
bool AddLine(std::string_view text, Report& report) {
  if (NestsDeeperThan(text, kMaxNesting)) return false;
  json line = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!line.is_object()) return false;
  auto step = line.find("step");
  if (step == line.end() || !step->is_string()) return false;
  const std::string name = step->get<std::string>();
  std::vector<ReportSegment>& segments = report.segments;
  std::optional<Shard> shard;
  if (name == kRunStartStep) {
    std::optional<RunStart> start = ParseStart(line, shard);
    if (!start) return false;
    segments.push_back({.start = std::move(start), .files = {}, .end = {}, .shard = shard});
    return true;
  }
  // A record after a run's end belongs to a run that wrote no start (an older one).
  if (segments.empty() || segments.back().end) segments.emplace_back();
  ReportSegment& segment = segments.back();
  if (name == kRunEndStep) {
    std::optional<RunEnd> end = ParseEnd(line, shard);
    if (!end) return false;
    segment.end = std::move(end);
    if (!segment.shard) segment.shard = shard;
    return true;
  }
  std::optional<FileRecord> record = ParseFile(line, name);
  if (!record) return false;
  segment.files.push_back(std::move(*record));
  return true;
}

}  // namespace

Result<Report> ReadReport(const std::string& path) {
  auto failure = [&](const Error& error) {
    return Error(error.kind(), "Cannot read the report " + path + ": " + error.description());
  };
  // O_NONBLOCK: a FIFO at the path must not block the open; it is then refused as no regular
  // file.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return failure(Error::FromErrno(errno));
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return failure(Error::FromErrno(errno));
  if (!S_ISREG(info.st_mode)) return failure(Error(ErrorKind::kOther, "it is not a regular file"));

  Report report;
  std::string line;
  bool too_long = false;
  auto end_line = [&] {
    if (too_long || (!line.empty() && !AddLine(line, report))) ++report.skipped_lines;
    line.clear();
    too_long = false;
  };
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failure(Error::FromErrno(errno));
    if (n == 0) break;
    std::string_view block(buffer, static_cast<size_t>(n));
    for (size_t at = 0; at < block.size();) {
      const size_t newline = block.find('\n', at);
      const std::string_view piece = block.substr(
          at, newline == std::string_view::npos ? std::string_view::npos : newline - at);
      if (!too_long && line.size() + piece.size() <= kMaxLineBytes) {
        line.append(piece);
      } else {
        too_long = true;
        line.clear();
      }
      if (newline == std::string_view::npos) break;
      end_line();
      at = newline + 1;
    }
  }
  end_line();
  return report;
}

}  // namespace terravox
