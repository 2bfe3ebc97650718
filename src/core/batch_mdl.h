// BatchMdl: the program-wide run state, one instance owned by the program and passed by reference.
#pragma once

#include <string>

namespace terravox {

struct BatchMdl {
  // The current run may go on: no step has failed so far. False until a run validates.
  bool bRunOk = false;
  // What separates the fields of an XYZ line; a single blank until the user picks another.
  std::string strSeparator = " ";
};

// The separator a choice of the separator list stands for: "Space" a blank, "TAB" a tab, any
// other entry its own text.
inline std::string SeparatorFromChoice(const std::string& choice) {
  if (choice == "Space") return " ";
  if (choice == "TAB") return "\t";
  return choice;
}

}  // namespace terravox
