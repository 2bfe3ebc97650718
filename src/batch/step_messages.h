// The titles of the message boxes the steps show when a failure ends their work.
#pragma once

namespace terravox {

// A step's own handler caught a failure and ended the step.
inline constexpr const char* kInterruptedTitle = "Program was interrupted";
// Its text: this, then the failure's description.
inline constexpr const char* kFileErrorPrefix = "File Error-";

}  // namespace terravox
