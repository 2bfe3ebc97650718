// RenderReportPage: the HTML of a run's report page: totals, the overview map with a link from
// every tile to its row, the sortable table of the tiles and their pictures. One self-contained
// page: its styles and script are inline, its pictures lie in one folder beside it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/report_tiles.h"
#include "engine/overview_map.h"

namespace terravox {

struct PageOverview {
  std::string picture;  // the overview's file name in the pictures folder
  engine::OverviewLayout layout;
  std::vector<size_t> tiles;  // the tile (index into the page's tiles) of each box
};

struct ReportPageInput {
  std::vector<ReportTile> tiles;         // their pictures, when they have them, in pictures_folder
  bool finished = false;                 // the run's verdict
  std::string pictures_folder;           // the folder's name, beside the page
  std::optional<PageOverview> overview;  // none when no tile could be placed
};

// The page. Every text taken from the report (names, paths, failure texts) is escaped, and every
// file name in a link is percent-encoded.
std::string RenderReportPage(const ReportPageInput& input);

}  // namespace terravox
