// WriteHtmlReport: the report page of a run (or of its shards' reports together) and, in a folder
// beside it, its pictures: each tile's pictures taken from the run's quicklook folder, or made
// from the tile's outputs on disk when the run made none, and the overview map of the survey.
#pragma once

#include <string>
#include <vector>

#include "core/file_record.h"
#include "core/status.h"

namespace terravox {

// The pictures' folder beside a page: "out/survey.html" gives "out/survey_files".
std::string PicturesFolderFor(const std::string& html_path);

struct HtmlReportCounts {
  size_t tiles = 0;
  size_t pictures_taken = 0;  // tiles whose pictures the run made
  size_t pictures_made = 0;   // tiles whose pictures were made from their outputs now
  size_t placed = 0;          // tiles on the overview map
};

// Writes the page at html_path (replacing it whole, never half) and its pictures. finished is the
// run's verdict. Fails, naming the file, when the folder or the page cannot be written; a tile
// whose pictures cannot be made is shown without them.
Result<HtmlReportCounts> WriteHtmlReport(const std::vector<FileRecord>& records, bool finished,
                                         const std::string& html_path);

}  // namespace terravox
