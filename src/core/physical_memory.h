// PhysicalMemoryBytes: how much memory this process may count on holding at once.
#pragma once

#include <cstdint>

namespace terravox {

// The machine's physical memory in bytes, lowered to the process's address-space limit when one
// is set; UINT64_MAX when neither can be read.
uint64_t PhysicalMemoryBytes();

}  // namespace terravox
