// FakeHost: records what the steps show.
#include "support/fake_host.h"

#include <algorithm>

namespace terravox::testing {

void FakeHost::SetStatus(const std::string& caption) {
  status_text_ = caption;
  captions.push_back(caption);
}

void FakeHost::MsgBox(const std::string& text, const std::string& title) {
  messages.push_back({text, title, status_text_});
}

bool FakeHost::WasRead(const std::string& control) const {
  return std::find(reads.begin(), reads.end(), control) != reads.end();
}

}  // namespace terravox::testing
