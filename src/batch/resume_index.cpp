// ResumeIndex: the ok records of a report, checked against the files' times on disk.
#include "batch/resume_index.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "batch/run_report.h"

namespace terravox {
namespace {

namespace fs = std::filesystem;
using Time = fs::file_time_type;

// The modification time of a file, or of the oldest (newest) file of a folder; none when the
// path or every file of the folder is missing.
std::optional<Time> FileTime(const std::string& path, bool newest) {
  std::error_code ec;
  if (fs::is_regular_file(path, ec)) {
    Time time = fs::last_write_time(path, ec);
    return ec ? std::nullopt : std::optional<Time>(time);
  }
  if (!fs::is_directory(path, ec)) return std::nullopt;
  std::optional<Time> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    Time time = entry.last_write_time(ec);
    if (ec) return std::nullopt;
    if (!found || (newest ? time > *found : time < *found)) found = time;
  }
  return found;
}

}  // namespace

Result<ResumeIndex> ResumeIndex::Load(const std::string& path) {
  ResumeIndex index;
  std::error_code ec;
  if (!fs::exists(path, ec)) return index;
  Result<std::vector<FileRecord>> records = ReadFileRecords(path);
  if (!records.ok()) return records.error();
  for (const FileRecord& record : *records) {
    if (record.outcome == FileOutcome::kOk) index.ok_.emplace(record.step, record.input);
  }
  return index;
}

bool ResumeIndex::Done(const std::string& step, const std::string& input,
                       const std::vector<std::string>& outputs) const {
  if (!ok_.contains({step, input})) return false;
  std::optional<Time> input_time = FileTime(input, /*newest=*/true);
  if (!input_time) return false;
  for (const std::string& output : outputs) {
    std::optional<Time> output_time = FileTime(output, /*newest=*/false);
    if (!output_time || *output_time <= *input_time) return false;
  }
  return true;
}

}  // namespace terravox
