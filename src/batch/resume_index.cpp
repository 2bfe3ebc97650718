// ResumeIndex: the last record of each file, checked against the run's settings and the files on
// disk.
#include "batch/resume_index.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace terravox {
namespace {

namespace fs = std::filesystem;

// The modification time of a file in nanoseconds since 1970; none when it cannot be told.
std::optional<int64_t> ModificationTime(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// The modification time of a file, or of the oldest (newest) file of a folder; none when the
// path or every file of the folder is missing.
std::optional<int64_t> FileTime(const std::string& path, bool newest) {
  std::error_code ec;
  if (fs::is_regular_file(path, ec)) return ModificationTime(path);
  if (!fs::is_directory(path, ec)) return std::nullopt;
  std::optional<int64_t> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    std::optional<int64_t> time = ModificationTime(entry.path().string());
    if (!time) return std::nullopt;
    if (!found || (newest ? *time > *found : *time < *found)) found = time;
  }
  return found;
}

}  // namespace

InputState InputStateOf(const std::string& path) {
  InputState state;
  std::error_code ec;
  if (fs::is_regular_file(path, ec)) {
    const uintmax_t size = fs::file_size(path, ec);
    if (!ec) state.size = static_cast<int64_t>(size);
  } else if (fs::is_directory(path, ec)) {
    int64_t total = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, ec)) {
      if (!entry.is_regular_file(ec)) continue;
      const uintmax_t size = entry.file_size(ec);
      if (ec) return {};
      total += static_cast<int64_t>(size);
    }
    if (!ec) state.size = total;
  }
  if (state.size < 0) return {};
  state.time = FileTime(path, /*newest=*/true).value_or(-1);
  return state;
}

Result<ResumeIndex> ResumeIndex::Load(const std::string& path) {
  ResumeIndex index;
  std::error_code ec;
  if (fs::symlink_status(path, ec).type() == fs::file_type::not_found) return index;
  Result<Report> report = ReadReport(path);
  if (!report.ok()) return report.error();
  for (ReportSegment& segment : report->segments) {
    if (segment.start) index.last_shard_ = segment.start->shard;
    for (FileRecord& record : segment.files) {
      if (record.outcome == FileOutcome::kSkipped) continue;
      index.last_[{record.step, record.input}] = std::move(record);
    }
  }
  return index;
}

bool ResumeIndex::Done(const std::string& step, const std::string& input,
                       const std::vector<std::string>& outputs, const std::string& settings) const {
  auto found = last_.find({step, input});
  if (found == last_.end()) return false;
  const FileRecord& record = found->second;
  if (record.outcome != FileOutcome::kOk || record.settings != settings) return false;
  const InputState now = InputStateOf(input);
  if (now.time < 0 || now.size != record.input_size || now.time != record.input_time) return false;
  // The record was written once the outputs were made from the input as recorded, so an output
  // of the same time tick as the input is no older than it (file times are coarse).
  return std::all_of(outputs.begin(), outputs.end(), [&](const std::string& output) {
    std::optional<int64_t> output_time = FileTime(output, /*newest=*/false);
    return output_time && *output_time >= now.time;
  });
}

}  // namespace terravox
