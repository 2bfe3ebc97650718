// ReadReport: a per-file report read back as the runs that wrote it. A report is input like any
// other file: it may be cut off by a kill, edited by hand, or not a report at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/file_record.h"
#include "core/shard.h"
#include "core/status.h"

namespace terravox {

// The record a run writes first: its submission, its shard and the steps it takes.
struct RunStart {
  std::string submission{};
  Shard shard{};
  std::vector<std::string> steps{};  // the report's step names, in run order
  bool keep_going = false;
  bool resume = false;
};

// The record a run writes last.
struct RunEnd {
  bool finished = false;
  std::string message{};  // the final box's title
  std::string text{};     // its text; empty in reports of older runs
  std::string signal{};   // the signal that stopped the run ("SIGTERM"), or empty
  std::string cause{};    // "TITLE: TEXT" of the last box before the final one, when it stopped
};

// One run's part of a report: from its start record (none in reports of older runs) to its end
// record (none when the run was killed or is still going).
struct ReportSegment {
  std::optional<RunStart> start{};
  std::vector<FileRecord> files{};
  std::optional<RunEnd> end{};
  std::optional<Shard> shard{};  // the start's, else the end's "shard", else unknown
};

struct Report {
  std::vector<ReportSegment> segments{};
  // Lines that are no record: cut off, malformed, too deep or too long, or of a wrong type.
  int skipped_lines = 0;
};

// Reads the report at path. Only a regular file is read (a FIFO or a device is refused without
// blocking). The error names the report and the reason; a missing report gives kFileNotFound.
Result<Report> ReadReport(const std::string& path);

}  // namespace terravox
