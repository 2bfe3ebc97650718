// GridLatticeFile against reading the whole file: the streaming pass takes the lattices written row
// by row and nothing else, and every file gives the grid, log and box of the in-memory way.
#include "gridder/lattice_gridder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/number_format.h"
#include "gridder/gridder.h"
#include "support/fake_host.h"
#include "support/temp_dir_test.h"

namespace terravox {
namespace {

using testing::FakeHost;
using testing::ReadFile;
using testing::ShownMessage;
using testing::TempDirTest;
using testing::WriteFile;

// The lines of a lattice of nx x ny points 2.5 apart, each row west to east, north row first
// unless south_first.
std::vector<std::string> LatticeLines(int nx, int ny, bool south_first = false,
                                      const std::string& separator = " ") {
  std::vector<std::string> lines;
  for (int i = 0; i < ny; ++i) {
    const int row = south_first ? ny - 1 - i : i;
    for (int col = 0; col < nx; ++col) {
      std::string line = FormatDouble(1000 + 2.5 * col);
      line += separator;
      line += FormatDouble(5000 - 2.5 * row);
      line += separator;
      line += FormatDouble(((row * 37 + col * 11) % 97) * 1.25 - 20);
      lines.push_back(line);
    }
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// Everything a conversion leaves that a user can observe.
struct Outcome {
  std::string grid;  // "<none>" when no grid was written
  std::string log;   // after the file name
  std::vector<ShownMessage> messages;
  bool run_ok = false;
  bool operator==(const Outcome&) const = default;
};

class LatticeGridderTest : public TempDirTest {
 protected:
  Outcome Convert(const std::string& xyz, const std::string& separator,
                  const std::string& cell_size, int threads, bool in_memory) {
    const std::string folder = MakeDir("run" + std::to_string(++runs_));
    WriteFile(folder + "/p.xyz", xyz);
    FakeHost host;
    host.values.cell_size_given = !cell_size.empty();
    host.values.cell_size = cell_size;
    BatchMdl mdl;
    mdl.strSeparator = separator;
    mdl.bRunOk = true;
    RunOptions options;
    options.error_log_path = folder + "/x.log";
    options.threads_per_file = threads;
    options.gridder_chunk_bytes = 50;  // pieces cut through rows
    options.gridder_in_memory = in_memory;
    EXPECT_TRUE(ConvertXyzFile(folder + "/p.xyz", folder + "/p.asc", host, mdl, options).ok());
    Outcome outcome;
    outcome.grid =
        std::filesystem::exists(folder + "/p.asc") ? ReadFile(folder + "/p.asc") : "<none>";
    outcome.log = std::filesystem::exists(options.error_log_path)
                      ? ReadFile(options.error_log_path).substr(folder.size())
                      : "";
    outcome.messages = host.messages;
    for (ShownMessage& message : outcome.messages) message.text.erase(0, folder.size());
    outcome.run_ok = mdl.bRunOk;
    return outcome;
  }

  // The streaming pass alone, on two threads in small pieces, rows written every few bytes (so
  // the header's room is guessed from the first rows): "grid" with the grid's text, or "misfit",
  // "whole" (not a lattice) or the error it threw.
  std::string Stream(const std::string& xyz, const std::string& separator,
                     const std::string& cell_size) {
    WriteFile(PathIn("s.xyz"), xyz);
    XyzLineReader reader;
    EXPECT_TRUE(reader.Open(PathIn("s.xyz")).ok());
    LatticeGridding how;
    how.separator = separator;
    how.threads = 2;
    how.piece_bytes = 60;
    how.row_buffer_bytes = 16;
    LatticeFigures figures;
    PendingFile grid;
    try {
      switch (GridLatticeFile(reader, how, CellSizeFromSettings(!cell_size.empty(), cell_size),
                              PathIn("s.asc"), figures, &grid)) {
        case LatticePass::kMisfit:
          return "misfit";
        case LatticePass::kNotALattice:
          return "whole";
        case LatticePass::kGridded:
          EXPECT_TRUE(grid.Commit().ok());
          return "grid " + ReadFile(PathIn("s.asc"));
      }
    } catch (const StepError& e) {
      return e.error().description();
    }
    return "";
  }

  int runs_ = 0;
};

TEST_F(LatticeGridderTest, StreamsExactlyTheLatticesWrittenRowByRowAndGivesTheSameOutcome) {
  auto flawed = [](auto change) {
    std::vector<std::string> lines = LatticeLines(6, 5);
    change(lines);
    return Join(lines);
  };
  std::vector<std::string> commented = LatticeLines(6, 5);
  commented.insert(commented.begin() + 8, "# a note");
  commented.insert(commented.begin(), "/ head");
  std::vector<std::string> gap = LatticeLines(6, 5);
  gap.erase(gap.begin() + 12, gap.begin() + 18);  // the middle row
  struct Row {
    const char* name;
    std::string xyz;
    std::string separator;
    std::string cell_size;  // "" derives it
    std::string pass;       // what the streaming pass gives: "grid", "misfit", "whole" or the error
  };
  const Row rows[] = {
      {"north first, CR LF", Join(LatticeLines(6, 5)), " ", "", "grid"},
      {"south first, LF", Join(LatticeLines(6, 5, true), "\n"), " ", "", "grid"},
      {"lone CR, TAB", Join(LatticeLines(6, 5, false, "\t"), "\r"), "\t", "", "grid"},
      {"comma and blank, south first", Join(LatticeLines(7, 3, true, ", ")), ", ", "2.5", "grid"},
      {"comments anywhere", Join(commented), " ", "", "grid"},
      {"one row", Join(LatticeLines(6, 1)), " ", "", "grid"},
      {"one point", Join(LatticeLines(1, 1)), " ", "3", "grid"},
      {"header room guessed short", Join(LatticeLines(6, 5)) + std::string(900, '#'), " ", "",
       "grid"},
      {"a duplicate point", flawed([](auto& l) { l.insert(l.begin() + 9, l[3]); }), " ", "",
       "whole"},
      {"a missing point", flawed([](auto& l) { l.erase(l.begin() + 9); }), " ", "", "whole"},
      {"a shuffled pair", flawed([](auto& l) { std::swap(l[9], l[10]); }), " ", "", "whole"},
      {"rows east to west", Join({"5 0 1", "0 0 2", "5 5 3", "0 5 4"}), " ", "", "whole"},
      {"a row out of order",
       flawed([](auto& l) { std::swap_ranges(l.begin(), l.begin() + 6, l.begin() + 12); }), " ", "",
       "whole"},
      {"cells shared at a larger given size", Join(LatticeLines(6, 5)), " ", "5", "whole"},
      {"shuffled", Join({"2.5 0 1", "0 2.5 2", "0 0 3", "2.5 2.5 4"}), " ", "", "whole"},
      {"comments only", "# a\r\n# b\r\n", " ", "", "whole"},
      {"a bad line", flawed([](auto& l) { l[13] = "1000 4997.5 x"; }), " ", "", "Type mismatch"},
      {"an empty last line", Join(LatticeLines(6, 5)) + "\r\n", " ", "", "Subscript out of range"},
      {"a line without the separator", flawed([](auto& l) { l[20] = "1000"; }), " ", "", "misfit"},
      {"a missing row", Join(gap), " ", "", "Subscript out of range"},
      {"a given size too small", Join(LatticeLines(6, 5)), " ", "1", "Subscript out of range"},
      {"a given size of 0", Join(LatticeLines(6, 5)), " ", "0", "Division by zero"},
      {"one x value", Join(LatticeLines(1, 4)), " ", "", "Division by zero"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Outcome whole = Convert(row.xyz, row.separator, row.cell_size, 1, true);
    const std::string pass = Stream(row.xyz, row.separator, row.cell_size);
    EXPECT_EQ(pass.substr(0, 4) == "grid" ? "grid" : pass, row.pass);
    if (row.pass == "grid") {
      EXPECT_EQ(pass, "grid " + whole.grid);
    }
    for (int threads : {1, 2}) {
      SCOPED_TRACE(std::to_string(threads) + " threads");
      EXPECT_EQ(Convert(row.xyz, row.separator, row.cell_size, threads, false), whole);
    }
  }
}

}  // namespace
}  // namespace terravox
