// ascii2grid_tool: converts ASCII grids to GRIDs with the engine's ConvertRasterFile, so the
// conversion can be timed as a process beside gdal_translate.
//
//   ascii2grid_tool IN.asc OUT_FOLDER [NAME]   one grid, named NAME (default: IN's base name)
//   ascii2grid_tool IN_FOLDER OUT_FOLDER       every non-hidden file of IN_FOLDER, by base name
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/paths.h"
#include "engine/raster_converter.h"
#include "engine/workspace.h"
#include "engine/workspace_opener.h"

namespace {

namespace fs = std::filesystem;
using terravox::engine::RasterConverter;
using terravox::engine::Workspace;

bool Convert(const std::string& input, const Workspace& workspace, const std::string& name) {
  terravox::Status s = RasterConverter().ConvertRasterFile(input, workspace, name, "GRID", 0);
  if (!s.ok()) {
    std::fprintf(stderr, "ascii2grid_tool: %s: %s\n", input.c_str(), s.description().c_str());
  }
  return s.ok();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: ascii2grid_tool IN.asc|IN_FOLDER OUT_FOLDER [NAME]\n");
    return 2;
  }
  std::string input = argv[1];
  auto workspace = terravox::engine::WorkspaceOpener().OpenFolder(argv[2], 0);
  if (!workspace.ok()) {
    std::fprintf(stderr, "ascii2grid_tool: %s\n", workspace.error().description().c_str());
    return 1;
  }
  std::error_code ec;
  if (!fs::is_directory(input, ec)) {
    std::string name = argc == 4 ? argv[3] : terravox::BaseName(terravox::LastPathPiece(input));
    return Convert(input, *workspace, name) ? 0 : 1;
  }
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(input, ec)) {
    std::string file = entry.path().filename().string();
    if (entry.is_regular_file() && file[0] != '.') files.push_back(file);
  }
  std::sort(files.begin(), files.end());
  bool ok = !ec;
  for (const std::string& file : files) {
    ok = Convert(terravox::JoinPath(input, file), *workspace, terravox::BaseName(file)) && ok;
  }
  return ok ? 0 : 1;
}
