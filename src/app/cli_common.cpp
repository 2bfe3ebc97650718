// Usage text, stderr messages and the message-box printer of terravox-cli.
#include "app/cli_common.h"

#include <iostream>

#include "core/utf8_text.h"
#include "gridder/error_log.h"

namespace terravox::cli {

void PrintError(const std::string& message) {
  std::cerr << "terravox-cli: " << TerminalText(message) << '\n';
}

int UsageError(const std::string& message) {
  PrintError(message);
  std::cerr << UsageText();
  return kExitUsage;
}

int PrintUsage() {
  std::cout << UsageText();
  return kExitOk;
}

std::string DescribeOptions(const CLI::App& sub) {
  constexpr size_t kNameWidth = 21;
  std::string text;
  for (const CLI::Option* option : sub.get_options()) {
    if (option->get_lnames().empty() || option->get_lnames()[0] == "help") continue;
    std::string name = "--" + option->get_lnames()[0];
    if (option->get_type_size() != 0) name += " " + option->get_option_text();
    name.resize(std::max(name.size() + 1, kNameWidth), ' ');
    std::string description = option->get_description();
    // Continued description lines line up under the first.
    for (size_t at = 0; (at = description.find('\n', at)) != std::string::npos; ++at) {
      description.insert(at + 1, std::string(4 + kNameWidth, ' '));
    }
    text.append("    ").append(name).append(description).append("\n");
  }
  return text;
}

std::string TerminalText(std::string_view text) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  const std::string utf8 = EscapeNonUtf8(text);
  std::string shown;
  shown.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    // U+0080..U+009F: some terminals take these for escape sequences (U+009B is CSI).
    if (static_cast<unsigned char>(utf8[i]) == 0xC2 && next >= 0x80 && next <= 0x9F) {
      shown.append({'\\', 'x', 'C', '2', '\\', 'x', kHexDigits[next >> 4], kHexDigits[next & 0xF]});
      ++i;
    } else {
      shown.push_back(utf8[i]);
    }
  }
  return EscapeControlCharacters(shown);
}

void PrintMessagesToStderr(HeadlessHost& host) {
  host.on_message = [](const std::string& text, const std::string& title) {
    std::cerr << TerminalText(title) << ": " << TerminalText(text) << '\n';
  };
}

}  // namespace terravox::cli
