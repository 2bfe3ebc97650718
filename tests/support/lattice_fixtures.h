// Small terrain fixtures shared by the batch-run tests: the same 5 x 5 plane as XYZ points and as
// the ESRI ASCII grid the gridder makes of them.
#pragma once

#include <string>

namespace terravox::testing {

// A 5 by 5 lattice, spacing 10, on a plane rising to the north-east (z = offset + x + 2y), fields
// joined by sep, CR LF line ends.
inline std::string LatticeXyz(int offset, const std::string& sep = " ") {
  std::string text;
  for (int y = 0; y <= 40; y += 10) {
    for (int x = 0; x <= 40; x += 10) {
      text += std::to_string(x) + sep + std::to_string(y) + sep +
              std::to_string(offset + x + 2 * y) + "\r\n";
    }
  }
  return text;
}

// The same plane as an ESRI ASCII grid.
inline std::string LatticeAsciiGrid(int offset) {
  std::string text =
      "ncols 5\r\nnrows 5\r\nxllcorner -5\r\nyllcorner -5\r\ncellsize 10\r\n"
      "NODATA_value -9999\r\n";
  for (int y = 40; y >= 0; y -= 10) {
    for (int x = 0; x <= 40; x += 10) {
      text += std::to_string(offset + x + 2 * y) + (x < 40 ? " " : "\r\n");
    }
  }
  return text;
}

}  // namespace terravox::testing
