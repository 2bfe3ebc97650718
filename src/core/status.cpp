// Standard error texts, the errno mapping, and the conversion of what a step's body throws.
#include "core/status.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>

namespace terravox {

const char* StandardText(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kSubscriptOutOfRange:
      return "Subscript out of range";
    case ErrorKind::kTypeMismatch:
      return "Type mismatch";
    case ErrorKind::kOverflow:
      return "Overflow";
    case ErrorKind::kDivisionByZero:
      return "Division by zero";
    case ErrorKind::kFileNotFound:
      return "File not found";
    case ErrorKind::kPathNotFound:
      return "Path not found";
    case ErrorKind::kPermissionDenied:
      return "Permission denied";
    case ErrorKind::kOutOfMemory:
      return "Out of memory";
    case ErrorKind::kEngine:
    case ErrorKind::kOther:
    case ErrorKind::kCancelled:
      return "";
  }
  return "";
}

Error::Error(ErrorKind kind) : kind_(kind), description_(StandardText(kind)) {}

Error::Error(ErrorKind kind, std::string description)
    : kind_(kind), description_(std::move(description)) {}

Error Error::FromErrno(int err) {
  switch (err) {
    case ENOENT:
      return Error(ErrorKind::kFileNotFound);
    case ENOTDIR:
      return Error(ErrorKind::kPathNotFound);
    case EACCES:
    case EPERM:
      return Error(ErrorKind::kPermissionDenied);
    case ENOMEM:
      return Error(ErrorKind::kOutOfMemory);
    default:
      return Error(ErrorKind::kOther, std::strerror(err));
  }
}

namespace {

Error FromFilesystemError(const std::filesystem::filesystem_error& e) {
  const std::error_category& category = e.code().category();
  if (category != std::generic_category() && category != std::system_category()) {
    return Error(ErrorKind::kOther, e.what());
  }
  return Error::FromErrno(e.code().value());
}

}  // namespace

Status RunUnderHandler(const std::function<Status()>& body) {
  try {
    return body();
  } catch (const StepError& e) {
    return e.error();
  } catch (const std::filesystem::filesystem_error& e) {
    return FromFilesystemError(e);
  } catch (const std::bad_alloc&) {
    return Error(ErrorKind::kOutOfMemory);
  } catch (const std::length_error&) {  // a container asked for more than it can ever hold
    return Error(ErrorKind::kOutOfMemory);
  } catch (const std::exception& e) {
    // Without this an unexpected throw would unwind through the window's event loop or end the
    // program, and the user would never learn that the run stopped.
    return Error(ErrorKind::kOther, e.what());
  }
}

}  // namespace terravox
