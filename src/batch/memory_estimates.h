// Memory estimates: what one file holds at its peak while each step works it out, the budget the
// files worked out at once must fit, and what a step then holds at most. The prefetchers keep the
// files under way within the budget by these estimates, and plan adds them up. The figures were
// measured with /usr/bin/time -v (peak resident set) on 1.1 GB XYZ files and their grids.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/prefetcher.h"
#include "core/physical_memory.h"
#include "core/run_options.h"

namespace terravox {

// An XYZ file that the gridder streams (a lattice written row by row, told from its head): a few
// megabytes per thread whatever its size (gridder/memory_estimate.h). Any other is read whole: its
// points (z and the places of x and y, 16 bytes) and their placing by row (16 more), the pieces'
// own tables, and the reading and writing buffers: 32 bytes a point on one thread and 37 to 38 on
// two (measured with lines of 14 and 27 bytes), estimated at 40, plus 32 MB. The points are the
// file's lines, told from the length of the lines in 64 KB at its start, middle and end, so a file
// of short lines (more points to the byte) is estimated higher.
uint64_t XyzPeakBytes(const std::string& path, uint64_t file_size, const std::string& separator,
                      int threads);
// The same for a file read whole whose points are known (plan has read them).
uint64_t XyzPeakBytesForPoints(uint64_t points);

// An ASCII grid to GRID streams: one block row and GDAL's block cache, whatever its size (two
// 6400 x 6400 grids at once held 37 MB).
uint64_t AsciiToGridPeakBytes();

// A raster's slope and contours, one after the other: the slope holds the cells about four times
// over (padded input, GDAL's output, the result; 2.5 to 2.9 times the cell file measured), the
// contours fewer. cell_file_bytes: the size of its w001001.adf.
uint64_t RasterPeakBytes(uint64_t cell_file_bytes);

// The budget of the files worked out at once: the run's own, else half the memory this process
// may use (core/physical_memory.h: the machine's, lowered to a control group's limit).
uint64_t MemoryBudget(const RunOptions& options, const CgroupFiles& cgroups = {});

// The share of the budget that the cells handed on from one step to the next may hold (a
// quarter; none when the run hands none on). The files worked out at once get the rest.
uint64_t HandOverBytes(const RunOptions& options, const CgroupFiles& cgroups = {});

// At most what a step's files hold at once at these limits: the largest files that a
// prefetcher's threads and the step's own thread may work on together, within the budget, or the
// largest alone when it exceeds the budget. With one thread, the largest.
uint64_t StepPeakBytes(std::vector<uint64_t> estimates, const PrefetchLimits& limits);

}  // namespace terravox
