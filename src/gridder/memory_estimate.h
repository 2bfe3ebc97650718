// XyzGriddingPeakBytes: how much memory gridding one XYZ file is expected to take, on the way the
// gridder will take for it, for the run's memory budget and its plan.
#pragma once

#include <cstdint>
#include <string>

namespace terravox {

// The expected peak memory, in bytes, of gridding the XYZ file at path with the given separator
// on the given threads: for a lattice written row by row (streamed), a few megabytes per thread
// plus a little per row whatever the file's size; for any other file (read whole), twice its size
// plus 16 MB. Reads the head of the file only (about 2 MB); a file that cannot be read is
// estimated as read whole.
uint64_t XyzGriddingPeakBytes(const std::string& path, const std::string& separator, int threads);

}  // namespace terravox
