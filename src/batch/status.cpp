// Standard error texts, the errno mapping, and the conversion of what a step's body throws.
#include "batch/status.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>

namespace terravox {

const char* StandardText(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kSubscriptOutOfRange: return "Subscript out of range";
    case ErrorKind::kTypeMismatch: return "Type mismatch";
    case ErrorKind::kOverflow: return "Overflow";
    case ErrorKind::kDivisionByZero: return "Division by zero";
    case ErrorKind::kFileNotFound: return "File not found";
    case ErrorKind::kPathNotFound: return "Path not found";
    case ErrorKind::kPermissionDenied: return "Permission denied";
    case ErrorKind::kOutOfMemory: return "Out of memory";
    case ErrorKind::kEngine:
    case ErrorKind::kOther: return "";
  }
  return "";
}

Error::Error(ErrorKind kind) : kind_(kind), description_(StandardText(kind)) {}

Error::Error(ErrorKind kind, std::string description)
    : kind_(kind), description_(std::move(description)) {}

Error Error::FromErrno(int err) {
  switch (err) {
    case ENOENT: return Error(ErrorKind::kFileNotFound);
    case ENOTDIR: return Error(ErrorKind::kPathNotFound);
    case EACCES:
    case EPERM: return Error(ErrorKind::kPermissionDenied);
    case ENOMEM: return Error(ErrorKind::kOutOfMemory);
    default: return Error(ErrorKind::kOther, std::strerror(err));
  }
}

Status RunUnderHandler(const std::function<Status()>& body) {
  try {
    return body();
  } catch (const StepError& e) {
    return e.error();
  } catch (const std::filesystem::filesystem_error& e) {
    return Error::FromErrno(e.code().value());
  } catch (const std::bad_alloc&) {
    return Error(ErrorKind::kOutOfMemory);
  } catch (const std::length_error&) {  // a container asked for more than it can ever hold
    return Error(ErrorKind::kOutOfMemory);
  }
}

}  // namespace terravox
