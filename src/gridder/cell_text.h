// WriteCellText: a grid cell's value as the grid file shows it (%.15G with the point), written
// straight into a buffer. Heights in whole centimetres and the no-data value take a short path.
#pragma once

#include <cmath>
#include <cstddef>

#include "gridder/uninitialized.h"

namespace terravox {

// The most characters a cell's text takes ("-1.23456789012345E-308").
inline constexpr size_t kMaxCellTextBytes = 24;

// True when value is a whole number of hundredths below 1e13 in magnitude, given in *hundredths:
// its text is then that number's decimal digits, which read back as value exactly (0 for -0).
inline bool WholeHundredths(double value, long long* hundredths) {
  // n / 100 is then the shortest text that reads back as value, with at most 15 digits, so it is
  // what %.15G prints (the reasoning of AppendDouble's own short path, matched byte for byte).
  if (!(std::fabs(value) < 1e13)) return false;
  const double scaled = value * 100;
  *hundredths = static_cast<long long>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
  return static_cast<double>(*hundredths) / 100 == value;
}

// Writes the text of value at out and returns the end of it. With cell, also the cell the ASCII
// step reads back from that text (ReadBackCell in handed_grid.h), NaN when it would refuse it.
// REQUIRES: room for kMaxCellTextBytes at out.
char* WriteCellText(char* out, double value, float* cell = nullptr);

// Appends one grid line to out: the texts of values[0, count) separated by single blanks, then
// CR LF.
void AppendGridLine(const double* values, size_t count, ByteBuffer& out);

}  // namespace terravox
