// The cells of the grids the gridder writes as the ASCII step reads them back, gathered for the
// hand-over to that step (core/cell_handover.h), so that it need not parse the text again.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell_handover.h"
#include "gridder/grid_layout.h"

namespace terravox {

// The cell the ASCII step's reader makes of the text WriteCellText writes for value, in a grid
// whose NODATA_value is -9999: kHandedNoData for a no-data cell, else the text's value in single
// precision, rounded from the number the text reads as (not from value itself). False when the
// reader would refuse the text; such a grid is left for it to read.
bool ReadBackCell(double value, float& cell);
// The same for a value that is no whole number of hundredths, whose text (AppendDouble's) is at
// hand.
bool ReadBackCellText(std::string_view text, float& cell);

// Gathers the cells of a grid in file order while it is written, within room the hand-over
// gives; gives up, freeing them, when the room cannot grow or a cell cannot be read back.
class HandedGridCollector {
 public:
  // Collects nothing without a hand-over.
  explicit HandedGridCollector(CellHandOver* hand_over);

  bool active() const { return static_cast<bool>(room_); }
  // The next cells of the file, each read back by ReadBackCell, or given up.
  void Append(const float* cells, size_t count);
  void GiveUp();
  // The cells of a grid of ncols x nrows with the given header text, rows turned north first when
  // they came south first; none once given up or when the cells are not ncols x nrows.
  std::optional<PendingCells> Finish(int ncols, int nrows, bool south_first, std::string header);

 private:
  CellHandOver::Room room_;
  std::vector<float> cells_;
};

// The cells of a grid placed in memory, read back, with its header text; none without a
// hand-over, when they do not fit it, or when a cell cannot be read back.
std::optional<PendingCells> HandedGridOf(CellHandOver* hand_over, const GridShape& shape,
                                         const PlacedPoints& placed, std::string header);

}  // namespace terravox
