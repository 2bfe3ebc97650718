// StreamedGriddingPeakBytes: how much memory gridding one XYZ file is expected to take when the
// gridder streams it, for the run's memory budget and its plan.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace terravox {

// The expected peak memory, in bytes, of gridding the XYZ file at path with the given separator
// on the given threads when it is a lattice written row by row (streamed): a few megabytes per
// thread plus a little per row whatever the file's size. None for any other file, which is read
// whole, and for one that cannot be read. Reads the head of the file only (about 2 MB).
std::optional<uint64_t> StreamedGriddingPeakBytes(const std::string& path,
                                                  const std::string& separator, int threads);

}  // namespace terravox
