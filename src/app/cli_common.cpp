// Usage text, stderr messages and the message-box printer of terravox-cli.
#include "app/cli_common.h"

#include <iostream>

namespace terravox::cli {

void PrintError(const std::string& message) { std::cerr << "terravox-cli: " << message << '\n'; }

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

void PrintMessagesToStderr(HeadlessHost& host) {
  host.on_message = [](const std::string& text, const std::string& title) {
    std::cerr << title << ": " << text << '\n';
  };
}

}  // namespace terravox::cli
