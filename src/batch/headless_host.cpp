// HeadlessHost: forwards captions and messages to its callbacks.
#include "batch/headless_host.h"

namespace terravox {

void HeadlessHost::SetStatus(const std::string& caption) {
  status_text_ = caption;
  if (on_status) on_status(caption);
}

void HeadlessHost::MsgBox(const std::string& text, const std::string& title) {
  if (on_message) on_message(text, title);
}

}  // namespace terravox
