// RunBatch: validation, then the XYZ, ASCII-to-GRID and raster steps while the run flag holds,
// then the final message. An error that escapes a step ends the run with a message of its own.
#include "batch/batch_run.h"

#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "batch/check_cond.h"
#include "batch/status.h"
#include "batch/xyz2ascii.h"
#include "gis/ascii2grid.h"
#include "gis/raster_walk.h"

namespace terravox {
namespace {

constexpr const char* kFinishedText = "All files in the folders were finished";
constexpr const char* kFinishedTitle = "Program is Finished";
constexpr const char* kStoppedText = "There are some errors happened during processing";
constexpr const char* kStoppedTitle = "Program is Stopped";

// Runs one step and turns anything that escapes it into a Status. Steps report their errors as
// values; these catches are the last safety net for a throw that slipped past a step's own
// handler. Without them such an error would end the program (or unwind through the window's
// event loop) with nothing shown, and the user would not learn that the run stopped.
template <typename Step>
Status Guarded(Step step) {
  try {
    return step();
  } catch (const StepError& e) {
    return e.error();
  } catch (const std::filesystem::filesystem_error& e) {
    if (e.code().category() == std::generic_category() ||
        e.code().category() == std::system_category()) {
      Error error = Error::FromErrno(e.code().value());
      std::string where = e.path1().empty() ? "" : e.path1().string() + " ";
      return Error(error.kind(), where + error.description());
    }
    return Error(ErrorKind::kOther, e.what());
  } catch (const std::bad_alloc&) {
    return Error(ErrorKind::kOutOfMemory);
  } catch (const std::exception& e) {
    return Error(ErrorKind::kOther, e.what());
  }
}

// Steps 4 to 6 of a run: each step only under its condition, the flag tested after each of
// them whether or not it ran, so a failure anywhere skips every later step. Returns an error
// only for one that escaped a step; a handled failure shows as a cleared flag.
Status RunSteps(Host& host, BatchMdl& mdl, const RunOptions& options) {
  if (!mdl.bRunOk) return Status::Ok();

  if (host.Option1()) {
    if (Status s = Guarded([&] { return XYZ2ASCII(host, mdl, options); }); !s.ok()) return s;
  }
  if (!mdl.bRunOk) return Status::Ok();

  if (host.Option1() || host.Option2()) {
    if (Status s = Guarded([&] { return gis::ASCII2GRID(host, mdl); }); !s.ok()) return s;
  }
  if (!mdl.bRunOk) return Status::Ok();

  if (host.Check1() || host.Check2()) {
    if (Status s = Guarded([&] { return gis::GetRasterLayersFromFolder(host, mdl); }); !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

}  // namespace

RunOutcome RunBatch(Host& host, BatchMdl& mdl, const RunOptions& options) {
  // A failure of the last run must not carry over into this one.
  mdl.bRunOk = false;
  CheckCond(host, mdl);

  RunOutcome outcome;
  if (Status escaped = RunSteps(host, mdl, options); !escaped.ok()) {
    // The run cannot go on after an error no step handled; say what it was rather than end
    // silently, then leave the window as a stopped run leaves it.
    std::string text = escaped.description();
    if (text.empty()) text = kStoppedText;
    host.MsgBox(text, kStoppedTitle);
    outcome = RunOutcome::kStopped;
  } else if (mdl.bRunOk) {
    host.MsgBox(kFinishedText, kFinishedTitle);
    outcome = RunOutcome::kFinished;
  } else {
    host.MsgBox(kStoppedText, kStoppedTitle);
    outcome = RunOutcome::kStopped;
  }
  // Cleared only after the box closes: while it is open the last caption tells where the run was.
  host.SetLabel6("");
  return outcome;
}

}  // namespace terravox
