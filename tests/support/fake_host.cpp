// FakeHost: records what the steps show.
#include "support/fake_host.h"

#include <algorithm>

namespace terravox::testing {

void FakeHost::SetLabel6(const std::string& caption) {
  label6_ = caption;
  captions.push_back(caption);
}

void FakeHost::MsgBox(const std::string& text, const std::string& title) {
  messages.push_back({text, title, label6_});
}

bool FakeHost::WasRead(const std::string& control) const {
  return std::find(reads.begin(), reads.end(), control) != reads.end();
}

}  // namespace terravox::testing
