// The titles of the message boxes the steps show when a failure ends their work.
#pragma once

namespace terravox {

// A step's own handler caught a failure and ended the step.
inline constexpr const char* kInterruptedTitle = "Program was interrupted";

}  // namespace terravox
