// ReportWriter and ReadFileRecords on nlohmann::json.
#include "batch/run_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
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
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace terravox
