// GridBody: the rows of a grid written while they are read, before the header that needs the
// whole file is known, in as little memory as a few megabytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/pending_file.h"
#include "core/status.h"
#include "gridder/lattice_rows.h"
#include "gridder/uninitialized.h"

namespace terravox {

class GridBody : public RowTextSink {
 public:
  // The grid will replace target. Rows are gathered up to buffer_bytes before they are written.
  // header_length_guess is asked once, when the rows first outgrow the buffer: they then go to
  // the file behind room for a header of that length.
  GridBody(std::string target, size_t buffer_bytes, std::function<size_t()> header_length_guess);

  void Append(std::string_view text) override;
  void EndRow() override;

  // Creates the file unless the rows already made it: the failure to create it, then or now.
  // A failure to create or write the file is kept for its turn, and rows given after it are
  // dropped.
  Status Create();

  // Puts header in front of the rows, north row first (the rows came south first when
  // south_first), and gives the whole file, not yet committed, in grid: the failure to write it
  // otherwise. When the header is as long as the room left for it and the rows came north first,
  // it is written into that room; else the rows are copied behind it into a new file.
  // REQUIRES: Create() succeeded.
  Status Finish(const std::string& header, bool south_first, PendingFile* grid);

 private:
  void Flush();
  bool failed() const { return !created_status_.ok() || !write_status_.ok(); }

  std::string target_;
  size_t buffer_bytes_;
  std::function<size_t()> header_length_guess_;
  PendingFile file_;
  bool created_ = false;
  Status created_status_;
  Status write_status_;
  ByteBuffer buffer_;               // rows not yet written
  bool flushed_any_ = false;        // rows went to file_, behind room for the header
  uint64_t reserved_ = 0;           // bytes left for the header at the start of file_
  uint64_t flushed_ = 0;            // row bytes written behind them
  std::vector<uint64_t> row_ends_;  // where each row ends, counted from the first row's start
};

}  // namespace terravox
