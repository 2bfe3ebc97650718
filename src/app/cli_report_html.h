// terravox-cli report --html: the report page of the reports given, with its pictures.
#pragma once

#include <string>
#include <vector>

namespace terravox::cli {

// Writes the page of the reports' file records at html_path; finished is the run's verdict.
// Prints where the page is; returns kExitOk, or kExitFailed after printing why it cannot.
int WriteReportPage(const std::vector<std::string>& reports, const std::string& html_path,
                    bool finished);

}  // namespace terravox::cli
