// CellHandOver: cells kept within a byte capacity, given back only for files left as written.
#include "core/cell_handover.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::TempDirTest;
using testing::WriteFile;

// Cells of 4 bytes each standing for the file at path as it is now.
std::shared_ptr<HandedCells> CellsOf(const std::string& path, int count) {
  auto cells = std::make_shared<HandedCells>();
  cells->ncols = count;
  cells->nrows = 1;
  cells->cells.assign(static_cast<size_t>(count), 1.5F);
  cells->files = {{"", StampOf(path).value()}};
  return cells;
}

class CellHandOverTest : public TempDirTest {};

TEST_F(CellHandOverTest, CellsAreGivenBackOnlyForAFileAsItWasWhenKept) {
  struct Row {
    const char* name;
    void (*change)(const std::string& path);
    bool given_back;
  };
  const Row rows[] = {
      {"unchanged", [](const std::string&) {}, true},
      {"rewritten in place", [](const std::string& path) { WriteFile(path, "other bytes"); },
       false},
      {"replaced by a new file of the same size",
       [](const std::string& path) {
         WriteFile(path + ".new", "some bytes");
         std::filesystem::rename(path + ".new", path);
       },
       false},
      {"removed", [](const std::string& path) { std::filesystem::remove(path); }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = PathIn("grid.asc");
    WriteFile(path, "some bytes");
    CellHandOver hand_over(1000);
    hand_over.Keep(path, CellsOf(path, 10), hand_over.Reserve(40));
    row.change(path);
    EXPECT_EQ(hand_over.Take(path) != nullptr, row.given_back);
    EXPECT_EQ(hand_over.Take(path), nullptr);  // taken once, either way
    EXPECT_EQ(hand_over.held_bytes(), 0U);
  }
}

TEST_F(CellHandOverTest, CellsBeyondTheCapacityAreNotKept) {
  const std::string path = PathIn("grid.asc");
  WriteFile(path, "some bytes");
  CellHandOver hand_over(100);
  CellHandOver::Room room = hand_over.Reserve(60);
  ASSERT_TRUE(room);
  EXPECT_FALSE(hand_over.Reserve(60));
  // Cells larger than their room are kept only when the capacity lets the room grow.
  hand_over.Keep(path, CellsOf(path, 30), std::move(room));
  EXPECT_EQ(hand_over.held_bytes(), 0U);
  EXPECT_EQ(hand_over.Take(path), nullptr);
  hand_over.Keep(path, CellsOf(path, 20), hand_over.Reserve(10));
  EXPECT_EQ(hand_over.held_bytes(), 80U);
  EXPECT_FALSE(hand_over.Reserve(40));
  EXPECT_NE(hand_over.Take(path), nullptr);
  EXPECT_TRUE(hand_over.Reserve(100));
}

}  // namespace
}  // namespace terravox
