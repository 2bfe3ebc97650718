// Fixtures of the shard, resume and plan tests: a folder of numbered XYZ tiles with the folders
// of a whole run, the run options naming them, snapshots of folder trees and report lines.
// Header only: the test binary takes *_test.cpp files.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "support/temp_dir_test.h"

namespace terravox::testing {

// Tile i as XYZ text: side x side points 10 apart on a tilted, rippled plane of its own.
inline std::string TileXyz(int i, int side) {
  std::string text;
  for (int y = 0; y < side * 10; y += 10) {
    for (int x = 0; x < side * 10; x += 10) {
      text += std::to_string(x) + " " + std::to_string(y) + " " +
              std::to_string(100 + i + x / 10 + 2 * (y / 10) + (x * y) % 7) + "\r\n";
    }
  }
  return text;
}

// root/xyz with tiles t00 .. t<count-1>, and empty ascii, grid, slope and contour folders.
inline void MakeTiles(const std::string& root, int count, int side) {
  for (const char* folder : {"xyz", "ascii", "grid", "slope", "contour"}) {
    std::filesystem::create_directories(root + "/" + folder);
  }
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/t%02d.xyz", i);
    WriteFile(root + "/xyz" + name, TileXyz(i, side));
  }
}

// run's options for the whole chain over the folders of root (XYZ tiles from xyz_root).
inline std::vector<std::string> ChainOptions(const std::string& command, const std::string& root,
                                             const std::string& xyz_root) {
  return {command,
          "--input",
          "xyz",
          "--xyz-dir",
          xyz_root + "/xyz",
          "--ascii-dir",
          root + "/ascii",
          "--grid-dir",
          root + "/grid",
          "--slope-dir",
          root + "/slope",
          "--contour-dir",
          root + "/contour",
          "--contour-interval",
          "3"};
}

inline std::vector<std::string> With(std::vector<std::string> args,
                                     const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Every entry under root: relative path -> bytes (folders map to "/").
inline std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string relative = std::filesystem::relative(entry.path(), root).string();
    tree[relative] = entry.is_directory() ? "/" : ReadFile(entry.path().string());
  }
  return tree;
}

// The JSON objects of a report, one per line.
inline std::vector<nlohmann::ordered_json> ReportLines(const std::string& path) {
  std::vector<nlohmann::ordered_json> lines;
  std::istringstream in(ReadFile(path));
  for (std::string text; std::getline(in, text);) {
    lines.push_back(nlohmann::ordered_json::parse(text, nullptr, false));
  }
  return lines;
}

}  // namespace terravox::testing
