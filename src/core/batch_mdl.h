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

}  // namespace terravox
