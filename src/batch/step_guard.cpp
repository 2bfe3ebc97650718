// RunGuarded: the batch run's last safety net around each step.
#include "batch/step_guard.h"

#include <filesystem>
#include <new>
#include <string>
#include <system_error>

namespace terravox {
namespace {

Error FromFilesystemError(const std::filesystem::filesystem_error& e) {
  const std::error_category& category = e.code().category();
  if (category != std::generic_category() && category != std::system_category()) {
    return Error(ErrorKind::kOther, e.what());
  }
  // The short standard text users know from the other steps, and the path, because without it
  // a bare "File not found" at the end of a long run says nothing about which file.
  Error error = Error::FromErrno(e.code().value());
  std::string text = error.description();
  if (!e.path1().empty()) text += ": " + e.path1().string();
  return Error(error.kind(), text);
}

}  // namespace

// Steps report their errors as values; these catches are for a throw that slipped past a
// step's own handler. Without them such an error would end the program, or unwind through the
// window's event loop, with nothing shown, and the user would not learn that the run stopped.
Status RunGuarded(const std::function<Status()>& step) {
  try {
    return step();
  } catch (const StepError& e) {
    return e.error();
  } catch (const std::filesystem::filesystem_error& e) {
    return FromFilesystemError(e);
  } catch (const std::bad_alloc&) {
    return Error(ErrorKind::kOutOfMemory);
  } catch (const std::exception& e) {
    return Error(ErrorKind::kOther, e.what());
  }
}

}  // namespace terravox
