// CheckCond: the eight checks of the window's settings, in their fixed order, each under its
// condition; the first failure shows its message and ends validation.
#include "batch/check_cond.h"

#include <string>

#include "core/fld_exist.h"
#include "core/number_parse.h"

namespace terravox {
namespace {

constexpr const char* kReselectFolder = "Please Re-Select Folder";
constexpr const char* kReinputData = "Please Re-Input data";

enum class Test { kFolderExists, kIsNumber };

struct Check {
  bool (*applies)(const Host& host);
  std::string (Host::*control)() const;  // read only when the check applies
  Test test;
  const char* text;
  const char* title;
};

// The order is the order users meet the problems in: the input folders first, then the GRID
// folder every run needs, then the extra operations. Messages 2 and 7 have no full stop.
constexpr Check kChecks[] = {
    {[](const Host& h) { return h.InputIsXyz(); }, &Host::XyzFolder, Test::kFolderExists,
     "The folder of XYZ files does not exist.", kReselectFolder},
    {[](const Host& h) { return h.InputIsXyz() && h.CellSizeGiven(); }, &Host::CellSizeText,
     Test::kIsNumber, "Pixcel Size is not a number", kReinputData},
    {[](const Host& h) { return h.InputIsXyz() || h.InputIsAscii(); }, &Host::AsciiFolder,
     Test::kFolderExists, "The folder of ASCII files does not exist.", kReselectFolder},
    {[](const Host&) { return true; }, &Host::GridFolder, Test::kFolderExists,
     "The folder of Grid does not exist.", kReselectFolder},
    {[](const Host& h) { return h.RunContour(); }, &Host::ContourFolder, Test::kFolderExists,
     "The folder of Contour files does not exist.", kReselectFolder},
    {[](const Host& h) { return h.RunContour(); }, &Host::ContourBase, Test::kIsNumber,
     "The start value of Contour is not a number.", kReinputData},
    {[](const Host& h) { return h.RunContour(); }, &Host::ContourInterval, Test::kIsNumber,
     "The interval of Contour lines is not a number", kReinputData},
    {[](const Host& h) { return h.RunSlope(); }, &Host::SlopeFolder, Test::kFolderExists,
     "The folder of slope GRIDS does not exist.", kReselectFolder},
};

// Whether the value passes; an error when a folder cannot even be tested (a parent that may not
// be searched, a link loop, a name too long): that is no missing folder, and the run must stop
// saying why rather than send the user to re-select a folder that may well be there.
Result<bool> Passes(Test test, const std::string& value) {
  switch (test) {
    case Test::kFolderExists: {
      Result<bool> exists = FldExist(value);
      if (!exists.ok()) {
        const Error& error = exists.error();
        return Error(error.kind(), error.description() + ": " + value);
      }
      return *exists;
    }
    case Test::kIsNumber:
      return IsNumber(value);
  }
  return false;
}

}  // namespace

Status CheckCond(Host& host, BatchMdl& mdl) {
  for (const Check& check : kChecks) {
    if (!check.applies(host)) continue;
    Result<bool> passes = Passes(check.test, (host.*check.control)());
    if (!passes.ok()) return passes.status();
    if (!*passes) {
      host.MsgBox(check.text, check.title);
      return Status::Ok();
    }
  }
  mdl.bRunOk = true;
  return Status::Ok();
}

}  // namespace terravox
