// FileRecord: what became of one file in one step of a run, as the per-file report keeps it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/quicklook.h"

namespace terravox {

enum class FileOutcome { kOk, kFailed, kSkipped };

// The report's names of the steps; the raster walk reports slope and contours apart.
inline constexpr const char* kStepXyz2Ascii = "xyz2ascii";
inline constexpr const char* kStepAscii2Grid = "ascii2grid";
inline constexpr const char* kStepSlope = "slope";
inline constexpr const char* kStepContours = "contours";

struct FileRecord {
  std::string step{};
  std::string input{};
  std::string output{};
  FileOutcome outcome = FileOutcome::kOk;
  std::string error{};  // what the user was told; empty unless failed
  double seconds = 0;
  int64_t points = -1;  // XYZ points read, -1 when not known
  int64_t cells = -1;   // cells of the grid made or read, -1 when not known
  // What a resumed run compares before it trusts the output: the run's settings that shape this
  // step's output, and the input's bytes and modification time (ns) when it was recorded.
  std::string settings{};
  int64_t input_size = -1;
  int64_t input_time = -1;
  // The tile's pictures, on the last record of its raster walk in a run that makes them.
  std::optional<Quicklook> quicklook{};
};

// "ok", "failed", "skipped".
inline const char* OutcomeName(FileOutcome outcome) {
  switch (outcome) {
    case FileOutcome::kOk:
      return "ok";
    case FileOutcome::kFailed:
      return "failed";
    case FileOutcome::kSkipped:
      return "skipped";
  }
  return "";
}

}  // namespace terravox
