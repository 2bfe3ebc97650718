// Rows gathered in a buffer, written behind room for the header, and the header put in front.
#include "gridder/grid_body.h"

#include <cstring>
#include <utility>

namespace terravox {

GridBody::GridBody(std::string target, size_t buffer_bytes,
                   std::function<size_t()> header_length_guess)
    : target_(std::move(target)),
      buffer_bytes_(buffer_bytes),
      header_length_guess_(std::move(header_length_guess)) {}

void GridBody::Append(std::string_view text) {
  if (failed()) return;
  // One copy: inserting a range would construct byte after byte through the allocator.
  const size_t size = buffer_.size();
  buffer_.resize(size + text.size());
  std::memcpy(buffer_.data() + size, text.data(), text.size());
}

void GridBody::EndRow() {
  if (failed()) return;
  // Every cell text came with a blank behind it; the row's last one becomes CR LF.
  if (!buffer_.empty() && buffer_.back() == ' ') buffer_.pop_back();
  buffer_.push_back('\r');
  buffer_.push_back('\n');
  row_ends_.push_back(flushed_ + buffer_.size());
  if (buffer_.size() >= buffer_bytes_) Flush();
}

Status GridBody::Create() {
  if (!created_) {
    created_ = true;
    created_status_ = file_.Create(target_);
  }
  return created_status_;
}

void GridBody::Flush() {
  if (!flushed_any_) {
    flushed_any_ = true;
    reserved_ = header_length_guess_();
    if (!Create().ok()) {
      buffer_.clear();
      return;
    }
    write_status_ = file_.Write(std::string(reserved_, ' '));
  }
  if (!failed()) write_status_ = file_.Write(std::string_view(buffer_.data(), buffer_.size()));
  flushed_ += buffer_.size();
  buffer_.clear();
}

Status GridBody::Finish(const std::string& header, bool south_first, PendingFile* grid) {
  if (!write_status_.ok()) return write_status_;
  // The row texts of row i: [start(i), row_ends_[i]) counted from the first row.
  auto start = [this](size_t i) { return i == 0 ? uint64_t{0} : row_ends_[i - 1]; };
  if (!flushed_any_) {
    // Every row is still in memory: header and rows go to the file in their final order.
    if (Status s = file_.Write(header); !s.ok()) return s;
    if (!south_first) {
      if (Status s = file_.Write(std::string_view(buffer_.data(), buffer_.size())); !s.ok()) {
        return s;
      }
    } else {
      for (size_t i = row_ends_.size(); i-- > 0;) {
        const std::string_view row(buffer_.data() + start(i), row_ends_[i] - start(i));
        if (Status s = file_.Write(row); !s.ok()) return s;
      }
    }
    *grid = std::move(file_);
    return Status::Ok();
  }
  Flush();
  if (!write_status_.ok()) return write_status_;
  if (!south_first && header.size() == reserved_) {
    if (Status s = file_.WriteAt(0, header); !s.ok()) return s;
    *grid = std::move(file_);
    return Status::Ok();
  }
  // The header's room was guessed wrong, or the rows must be turned round: a new file, the rows
  // copied within the file system.
  if (Status s = grid->Create(target_); !s.ok()) return s;
  if (Status s = grid->Write(header); !s.ok()) return s;
  if (!south_first) return grid->AppendFrom(file_, reserved_, flushed_);
  for (size_t i = row_ends_.size(); i-- > 0;) {
    if (Status s = grid->AppendFrom(file_, reserved_ + start(i), row_ends_[i] - start(i));
        !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

}  // namespace terravox
