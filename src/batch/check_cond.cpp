// CheckCond: the eight checks of the window's settings, in their fixed order, each under its
// condition; the first failure shows its message and ends validation.
#include "batch/check_cond.h"

#include <string>

#include "batch/numbers.h"
#include "gis/fld_exist.h"

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
    {[](const Host& h) { return h.Option1(); }, &Host::Text7, Test::kFolderExists,
     "The folder of XYZ files does not exist.", kReselectFolder},
    {[](const Host& h) { return h.Option1() && h.Option4(); }, &Host::Text8, Test::kIsNumber,
     "Pixcel Size is not a number", kReinputData},
    {[](const Host& h) { return h.Option1() || h.Option2(); }, &Host::Text6, Test::kFolderExists,
     "The folder of ASCII files does not exist.", kReselectFolder},
    {[](const Host&) { return true; }, &Host::Text1, Test::kFolderExists,
     "The folder of Grid does not exist.", kReselectFolder},
    {[](const Host& h) { return h.Check1(); }, &Host::Text4, Test::kFolderExists,
     "The folder of Contour files does not exist.", kReselectFolder},
    {[](const Host& h) { return h.Check1(); }, &Host::Text2, Test::kIsNumber,
     "The start value of Contour is not a number.", kReinputData},
    {[](const Host& h) { return h.Check1(); }, &Host::Text3, Test::kIsNumber,
     "The interval of Contour lines is not a number", kReinputData},
    {[](const Host& h) { return h.Check2(); }, &Host::Text5, Test::kFolderExists,
     "The folder of slope GRIDS does not exist.", kReselectFolder},
};

// A folder whose existence cannot even be asked about (a parent we may not search, a name too
// long) counts as missing: the run could not use it either, and telling the user which folder
// to re-select is more helpful than a system error before any work has started.
bool FolderExists(const std::string& path) {
  Result<bool> exists = gis::FldExist(path);
  return exists.ok() && *exists;
}

bool Passes(Test test, const std::string& value) {
  switch (test) {
    case Test::kFolderExists:
      return FolderExists(value);
    case Test::kIsNumber:
      return IsNumber(value);
  }
  return false;
}

}  // namespace

void CheckCond(Host& host, BatchMdl& mdl) {
  for (const Check& check : kChecks) {
    if (!check.applies(host)) continue;
    if (!Passes(check.test, (host.*check.control)())) {
      host.MsgBox(check.text, check.title);
      return;
    }
  }
  mdl.bRunOk = true;
}

}  // namespace terravox
