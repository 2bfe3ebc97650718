// The report's lines on nlohmann::json, ReportWriter, and ReadFileRecords on ReadReport.
#include "batch/run_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <nlohmann/json.hpp>

#include "core/utf8_text.h"

namespace terravox {
namespace {

// Keys stay in the order written, so a report reads step, input, output, outcome first.
using json = nlohmann::ordered_json;

json Figure(int64_t value) { return value < 0 ? json(nullptr) : json(value); }

std::string ShardText(const Shard& shard) {
  return std::to_string(shard.index) + "/" + std::to_string(shard.count);
}

// Adds key: text, and key_hex: its bytes when the text is no UTF-8.
void AddName(json& line, const std::string& key, const std::string& text) {
  if (IsUtf8(text)) {
    line[key] = text;
    return;
  }
  line[key] = EscapeNonUtf8(text);
  line[key + "_hex"] = ToHex(text);
}

json Real(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

json QuicklookJson(const Quicklook& look) {
  json object = {{"hillshade", EscapeNonUtf8(look.hillshade)},
                 {"slope", EscapeNonUtf8(look.slope)},
                 {"west", Real(look.west)},
                 {"south", Real(look.south)},
                 {"east", Real(look.east)},
                 {"north", Real(look.north)},
                 {"srs", EscapeNonUtf8(look.srs_name)},
                 {"unit", EscapeNonUtf8(look.unit)},
                 {"z_min", Real(look.z_min)},
                 {"z_max", Real(look.z_max)},
                 {"slope_max", Real(look.slope_max)},
                 {"contour_lines", Figure(look.contour_lines)}};
  return object;
}

std::string Dump(const json& line) {
  // Every text is UTF-8 by now: names through AddName, other texts through EscapeNonUtf8.
  return line.dump(-1, ' ', false, json::error_handler_t::replace);
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
  return ReportWriter(std::move(report), path);
}

void ReportWriter::WriteLine(std::string line) {
  // A report that cannot be written must not stop the work it reports on: the run says so at
  // its end.
  if (!status_.ok()) return;
  line += '\n';
  if (Status s = WriteAll(fd_.get(), line); !s.ok()) {
    status_ = Error(ErrorKind::kOther, "Cannot write the report " + path_ + ": " + s.description());
  }
}

std::string FileRecordLine(const FileRecord& record) {
  json line = {{"step", record.step}};
  AddName(line, "input", record.input);
  AddName(line, "output", record.output);
  line["outcome"] = OutcomeName(record.outcome);
  line["error"] = EscapeNonUtf8(record.error);
  line["seconds"] = record.seconds;
  line["points"] = Figure(record.points);
  line["cells"] = Figure(record.cells);
  line["settings"] = EscapeNonUtf8(record.settings);
  line["input_size"] = Figure(record.input_size);
  line["input_time"] = record.input_time == -1 ? json(nullptr) : json(record.input_time);
  if (record.quicklook) line["quicklook"] = QuicklookJson(*record.quicklook);
  return Dump(line);
}

std::string RunStartLine(const RunStart& start) {
  json line = {{"step", kRunStartStep},           {"submission", EscapeNonUtf8(start.submission)},
               {"shard", ShardText(start.shard)}, {"steps", start.steps},
               {"keep_going", start.keep_going},  {"resume", start.resume}};
  return Dump(line);
}

std::string RunEndLine(const RunEnd& end, const Shard& shard) {
  json line = {{"step", kRunEndStep},
               {"outcome", end.finished ? "finished" : "stopped"},
               {"message", EscapeNonUtf8(end.message)},
               {"text", EscapeNonUtf8(end.text)}};
  if (!end.signal.empty()) line["signal"] = end.signal;
  if (!end.cause.empty()) line["cause"] = EscapeNonUtf8(end.cause);
  if (shard.count > 1) line["shard"] = ShardText(shard);
  return Dump(line);
}

Result<std::vector<FileRecord>> ReadFileRecords(const std::string& path) {
  Result<Report> report = ReadReport(path);
  if (!report.ok()) return report.error();
  std::vector<FileRecord> records;
  for (ReportSegment& segment : report->segments) {
    for (FileRecord& record : segment.files) records.push_back(std::move(record));
  }
  return records;
}

}  // namespace terravox
