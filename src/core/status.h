// Errors as values at module edges: Error, Status, Result<T>, and StepError, the one exception,
// which carries an Error from deep inside a step to that step's own handler.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <variant>

namespace terravox {

// The kinds of failure a user can be told about; each has a short standard text.
enum class ErrorKind {
  kSubscriptOutOfRange,
  kTypeMismatch,
  kOverflow,
  kDivisionByZero,
  kFileNotFound,
  kPathNotFound,
  kPermissionDenied,
  kOutOfMemory,
  kEngine,     // a GIS engine failure; the description is the engine's own text
  kOther,      // any other failure with a readable description
  kCancelled,  // the run was asked to stop; no step reports it as a failure of its own
};

// The short standard text of a kind ("Subscript out of range", ...); "" for kEngine and kOther.
const char* StandardText(ErrorKind kind);

class Error {
 public:
  // An error of a kind with its standard text as description.
  explicit Error(ErrorKind kind);
  Error(ErrorKind kind, std::string description);

  // The error matching an errno value from a failed file operation: ENOENT gives
  // "File not found", ENOTDIR "Path not found", EACCES/EPERM "Permission denied",
  // ENOMEM "Out of memory", anything else the system's own text.
  static Error FromErrno(int err);

  ErrorKind kind() const { return kind_; }
  // The exact text users see after "Error-" and the like.
  const std::string& description() const { return description_; }

 private:
  ErrorKind kind_;
  std::string description_;
};

class [[nodiscard]] Status {
 public:
  Status() = default;                                            // OK
  Status(Error error) : error_(std::move(error)), ok_(false) {}  // NOLINT: implicit on purpose

  static Status Ok() { return Status(); }

  bool ok() const { return ok_; }
  // REQUIRES: !ok()
  const Error& error() const { return error_; }
  const std::string& description() const { return error_.description(); }

 private:
  Error error_{ErrorKind::kOther, ""};
  bool ok_ = true;
};

// A value or an Error, shaped like C++23 std::expected.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}      // NOLINT: implicit on purpose
  Result(Error error) : state_(std::move(error)) {}  // NOLINT: implicit on purpose

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // REQUIRES: ok()
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  // REQUIRES: !ok()
  const Error& error() const { return std::get<1>(state_); }
  Status status() const { return ok() ? Status::Ok() : Status(error()); }

 private:
  std::variant<T, Error> state_;
};

// A failure of the GIS engine, described in the engine's own words.
inline Error EngineError(std::string text) { return Error(ErrorKind::kEngine, std::move(text)); }

// Thrown by small checked helpers (16-bit counters, indices) and caught only where a step's
// error handler is armed.
class StepError : public std::exception {
 public:
  explicit StepError(Error error) : error_(std::move(error)) {}
  explicit StepError(ErrorKind kind) : error_(kind) {}
  const Error& error() const { return error_; }
  const char* what() const noexcept override { return error_.description().c_str(); }

 private:
  Error error_;
};

// Runs a body where an error handler is armed (a step's own, or the run's last net around each
// step): the body's own status, or the error of what it threw. StepError gives its error, a
// filesystem error the standard text of its cause, bad_alloc and length_error "Out of memory",
// any other std::exception its what() text.
Status RunUnderHandler(const std::function<Status()>& body);

// Throws StepError when the status is not OK.
inline void ThrowIfError(const Status& status) {
  if (!status.ok()) throw StepError(status.error());
}

}  // namespace terravox
