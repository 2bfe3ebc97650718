// The side-file rules of the ASCII folder.
#include "batch/ascii_grid_files.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "core/paths.h"

namespace terravox {
namespace {

bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  if (name.size() <= suffix.size()) return false;  // the suffix alone names no side file
  return std::equal(suffix.begin(), suffix.end(), name.end() - suffix.size(), [](char a, char b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return lower(a) == lower(b);
  });
}

bool IsAuxXml(std::string_view name) { return EndsWithIgnoringCase(name, ".aux.xml"); }
bool IsPrj(std::string_view name) { return EndsWithIgnoringCase(name, ".prj"); }

}  // namespace

std::vector<std::string> AsciiGridFiles(const std::vector<std::string>& listing) {
  // The base names of the files a .prj may belong to: the grids, not other side files.
  std::set<std::string> grid_bases;
  for (const std::string& name : listing) {
    if (!IsPrj(name) && !IsAuxXml(name)) grid_bases.insert(BaseName(name));
  }
  std::vector<std::string> grids;
  for (const std::string& name : listing) {
    if (IsAuxXml(name)) continue;
    if (IsPrj(name) && grid_bases.count(BaseName(name)) != 0) continue;
    grids.push_back(name);
  }
  return grids;
}

}  // namespace terravox
