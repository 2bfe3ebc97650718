// CellHandOver: the cells of the grids a run has just written, kept in memory for the next step,
// which takes them instead of reading the files back, as long as the files are as the run left
// them. Bounded in bytes; safe to use from several threads.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/status.h"

namespace terravox {

// What tells a file apart from another file or from itself changed: its file system and inode,
// its size and its modification time.
struct FileStamp {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t mtime_ns = 0;
  bool operator==(const FileStamp&) const = default;
};
// The stamp of the file at path (links followed), or of an open file.
Result<FileStamp> StampOf(const std::string& path);
Result<FileStamp> StampOfFd(int fd);

// The no-data value of handed cells (the float no-data value of a GRID, and what the ASCII step
// turns an ASCII grid's no-data cells into).
inline constexpr float kHandedNoData = std::numeric_limits<float>::lowest();

// The cells of one written grid exactly as a reader of its files would give them.
struct HandedCells {
  int ncols = 0;
  int nrows = 0;
  std::vector<float> cells;  // row by row, north first; kHandedNoData for no-data
  std::string header;        // an ASCII grid's header text; empty for a GRID
  // The files the cells stand for, by name inside the grid's path ("" for the path itself), with
  // their stamps as written: a file changed since is read from disk.
  std::vector<std::pair<std::string, FileStamp>> files;

  uint64_t bytes() const { return cells.size() * sizeof(float) + header.size(); }
};

class CellHandOver {
 public:
  explicit CellHandOver(uint64_t capacity_bytes) : capacity_(capacity_bytes) {}
  CellHandOver(const CellHandOver&) = delete;
  CellHandOver& operator=(const CellHandOver&) = delete;

  // Room for the cells of a grid being written, taken from the capacity until it is released or
  // its cells are kept; empty when the capacity is spent. Grow asks for more room.
  class Room {
   public:
    Room() = default;
    Room(Room&& other) noexcept
        : owner_(std::exchange(other.owner_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}
    Room& operator=(Room&& other) noexcept;
    Room(const Room&) = delete;
    Room& operator=(const Room&) = delete;
    ~Room() { Release(); }

    explicit operator bool() const { return owner_ != nullptr; }
    // True when the room now holds total bytes; else the room is released and false returned.
    bool Grow(uint64_t total);
    void Release();

   private:
    friend class CellHandOver;
    CellHandOver* owner_ = nullptr;
    uint64_t bytes_ = 0;
  };
  Room Reserve(uint64_t bytes);

  // Keeps the cells of the grid at path, written in room (released when the cells do not fit
  // it). An earlier grid kept for path is dropped.
  void Keep(const std::string& path, std::shared_ptr<const HandedCells> cells, Room room);
  // The cells kept for the grid at path when every one of its files still has the stamp it was
  // written with; none otherwise. Either way they are no longer kept.
  std::shared_ptr<const HandedCells> Take(const std::string& path);

  // Bytes taken by rooms and kept cells.
  uint64_t held_bytes() const;

 private:
  struct Entry {
    std::shared_ptr<const HandedCells> cells;
    uint64_t bytes = 0;
  };
  void Give(uint64_t bytes);

  const uint64_t capacity_;
  mutable std::mutex mutex_;
  uint64_t used_ = 0;  // rooms and kept cells together
  std::map<std::string, Entry> kept_;
};

// The cells of a grid written but not yet committed, in their room: kept for the grid's path once
// it has its name, with the stamps of its files (which a commit by renaming leaves as they are).
struct PendingCells {
  std::shared_ptr<HandedCells> cells;
  CellHandOver::Room room;
};

}  // namespace terravox
