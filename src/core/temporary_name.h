// The one scheme for temporary names, shared by pending files, pending GRID folders and
// temporary Shapefiles:
//   .terravox-MMMMMMMM-PID-START-RRRRRRRR.SUFFIX
// machine tag and random part in hex, process id and start time in decimal (see ProcessTag).
// The leading "." hides it from folder listings and dataset enumerations; the process named in
// it lets a later run remove it once that process is gone, and never while it runs.
//
// The name says whose a temporary is; whether that owner still lives is told by the lock it holds
// on a sibling file (core/owner_lock.h): the GRID writer's folder and GDAL's Shapefile files keep
// no descriptor of ours open for their whole life, and a process id means nothing across PID
// namespaces. The process id with its start time names one process for good; the machine tag
// keeps other systems' work in a shared folder out of reach. Whatever cannot be told for certain
// (another system, no lock file) is kept: a leftover that stays costs disk space until
// `terravox-cli clean`, a live temporary removed would cost a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/process_tag.h"

namespace terravox {

// The suffix of a pending file or folder; a Shapefile's files bear their own extensions.
inline constexpr std::string_view kTemporarySuffix = ".tmp";

// A fresh stem (the name without "." and suffix) for this process.
std::string NewTemporaryStem();
// The stem owned by owner with that random part.
std::string TemporaryStem(const ProcessTag& owner, uint32_t random);

// The process that owns a temporary name (stem, ".", then a suffix of up to 16 letters, digits
// and dots); none for any other name.
std::optional<ProcessTag> TemporaryOwner(std::string_view name);

}  // namespace terravox
