// Option parsing, separator choice and stderr messages for terravox-cli.
#include "app/cli_common.h"

#include <algorithm>
#include <cstdio>
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

Result<ParsedArgs> ParseArgs(const std::vector<std::string>& args,
                             std::initializer_list<std::string_view> value_options) {
  ParsedArgs parsed;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
      continue;
    }
    size_t equals = arg.find('=');
    std::string name = arg.substr(0, equals);
    if (std::find(value_options.begin(), value_options.end(), name) == value_options.end()) {
      return Error(ErrorKind::kOther, "unknown option " + name);
    }
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return Error(ErrorKind::kOther, "option " + name + " needs a value");
    }
    parsed.options[name] = value;
  }
  return parsed;
}

void PrintMessagesToStderr(HeadlessHost& host) {
  host.on_message = [](const std::string& text, const std::string& title) {
    std::cerr << title << ": " << text << '\n';
  };
}

}  // namespace terravox::cli
