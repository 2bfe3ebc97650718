// StepSettings: numbers as the run reads them, so "2.50" and "2.5" are one setting.
#include "batch/step_settings.h"

#include "core/file_record.h"
#include "core/number_format.h"
#include "core/number_parse.h"

namespace terravox {
namespace {

// A number as the run will read it, so "2.50" and "2.5" are one setting; the text when it is
// no number (the step then fails on it).
template <typename Parsed, typename Format>
std::string Canonical(const std::string& text, Parsed parse, Format format) {
  auto value = parse(text);
  return value.ok() ? format(*value) : text;
}

}  // namespace

std::map<std::string, std::string> StepSettings(const Host& host, const BatchMdl& mdl) {
  const std::string cell_size = host.CellSizeGiven()
                                    ? Canonical(host.CellSizeText(), ParseSingle, FormatSingle)
                                    : std::string("derived");
  return {
      {kStepXyz2Ascii, "cell size " + cell_size + ", separator \"" + mdl.strSeparator + "\""},
      {kStepContours, "interval " + Canonical(host.ContourInterval(), ParseDouble, FormatDouble) +
                          ", start " + Canonical(host.ContourBase(), ParseDouble, FormatDouble)}};
}

std::string SettingsOf(const std::map<std::string, std::string>& settings,
                       const std::string& step) {
  auto found = settings.find(step);
  return found == settings.end() ? std::string() : found->second;
}

}  // namespace terravox
