// WriteCellText: a grid cell's value as the grid file shows it (%.15G with the point), written
// straight into a buffer. Heights in whole centimetres and the no-data value take a short path.
#pragma once

#include <cstddef>

#include "gridder/uninitialized.h"

namespace terravox {

// The most characters a cell's text takes ("-1.23456789012345E-308").
inline constexpr size_t kMaxCellTextBytes = 24;

// Writes the text of value at out and returns the end of it. REQUIRES: room for
// kMaxCellTextBytes at out.
char* WriteCellText(char* out, double value);

// Appends one grid line to out: the texts of values[0, count) separated by single blanks, then
// CR LF.
void AppendGridLine(const double* values, size_t count, ByteBuffer& out);

}  // namespace terravox
