// FakeHost: records what the steps show through the headless host's callbacks.
#include "support/fake_host.h"

#include <algorithm>

namespace terravox::testing {

FakeHost::FakeHost() {
  on_status = [this](const std::string& caption) { captions.push_back(caption); };
  on_message = [this](const std::string& text, const std::string& title) {
    messages.push_back({text, title, StatusText()});
  };
}

bool FakeHost::WasRead(const std::string& setting) const {
  return std::find(reads.begin(), reads.end(), setting) != reads.end();
}

}  // namespace terravox::testing
