// RemoveDeadTemporaries: clears a folder of the temporaries that a crashed or killed run left.
#pragma once

#include <string>

namespace terravox {

// Removes from folder every entry with a temporary name (core/temporary_name.h) whose process is
// certainly gone: a file, or a folder with all it holds. The temporaries of running processes, of
// processes it cannot ask about, and every other name stay. Best effort: an entry that cannot be
// removed stays, and a folder that cannot be read is left alone. Returns how many entries went.
int RemoveDeadTemporaries(const std::string& folder);

}  // namespace terravox
