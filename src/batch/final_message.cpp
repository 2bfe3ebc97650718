// StoppedTextNaming: the failures, one line, so a terminal or a log shows it as one message.
#include "batch/final_message.h"

namespace terravox {

std::string StoppedTextNaming(const std::vector<FileRecord>& failures) {
  constexpr size_t kNamed = 10;
  std::string text = kStoppedText;
  if (failures.empty()) return text;
  text += "; failed:";
  for (size_t i = 0; i < failures.size() && i < kNamed; ++i) {
    const FileRecord& failure = failures[i];
    text += (i == 0 ? " " : "; ") + failure.step + " " + failure.input;
    if (!failure.error.empty()) text += " (" + failure.error + ")";
  }
  if (failures.size() > kNamed) {
    text += "; and " + std::to_string(failures.size() - kNamed) + " more";
  }
  return text;
}

}  // namespace terravox
