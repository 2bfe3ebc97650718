// report --html: reads the reports' records and hands them to the page writer.
#include "app/cli_report_html.h"

#include <cstdio>

#include "app/cli_common.h"
#include "batch/html_report.h"
#include "batch/run_report.h"

namespace terravox::cli {

int WriteReportPage(const std::vector<std::string>& reports, const std::string& html_path,
                    bool finished) {
  std::vector<FileRecord> records;
  for (const std::string& report : reports) {
    // A report that cannot be read was named by the summary already.
    Result<std::vector<FileRecord>> read = ReadFileRecords(report);
    if (read.ok()) records.insert(records.end(), read->begin(), read->end());
  }
  Result<HtmlReportCounts> written = WriteHtmlReport(records, finished, html_path);
  if (!written.ok()) {
    PrintError(written.error().description());
    return kExitFailed;
  }
  std::printf("\nreport page: %s (%zu tiles; pictures: %zu from the run, %zu made now)\n",
              TerminalText(html_path).c_str(), written->tiles, written->pictures_taken,
              written->pictures_made);
  return kExitOk;
}

}  // namespace terravox::cli
