// Appending to the error log with O_NOFOLLOW and a regular-file check.
#include "gridder/error_log.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "core/unique_fd.h"

namespace terravox {
namespace {

Error LogError(const std::string& log_path, const std::string& reason) {
  return Error(ErrorKind::kOther, "Cannot write the error log " + log_path + ": " + reason);
}

// The reason an open of the log failed, in the words the user sees.
std::string OpenFailureReason(int err) {
  switch (err) {
    case ENOENT:  // with O_CREAT only a missing folder gives this
    case ENOTDIR:
      return StandardText(ErrorKind::kPathNotFound);
    case ELOOP:  // O_NOFOLLOW met a symbolic link
      return "it is a symbolic link";
    case ENXIO:  // a FIFO without a reader (O_NONBLOCK)
      return "it is not a regular file";
    default:
      return Error::FromErrno(err).description();
  }
}

}  // namespace

std::string EscapeControlCharacters(std::string_view text) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      escaped.push_back(c);
    } else if (c == '\r') {
      escaped.append("\\r");
    } else if (c == '\n') {
      escaped.append("\\n");
    } else if (c == '\t') {
      escaped.append("\\t");
    } else {
      escaped.append({'\\', 'x', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]});
    }
  }
  return escaped;
}

Status AppendErrorLog(const std::string& log_path, std::string_view line) {
  // O_NONBLOCK keeps a FIFO planted at the log path from blocking the open; the fstat check
  // below then refuses it like any other file that is not a regular one.
  int fd = ::open(log_path.c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return LogError(log_path, OpenFailureReason(errno));
  UniqueFd log(fd);
  struct stat info {};
  if (::fstat(log.get(), &info) != 0) {
    return LogError(log_path, Error::FromErrno(errno).description());
  }
  if (!S_ISREG(info.st_mode)) return LogError(log_path, "it is not a regular file");

  std::string bytes = EscapeControlCharacters(line);
  bytes.append("\r\n");
  // One write: O_APPEND then places the whole line at the end even when two runs share the log.
  if (Status s = WriteAll(log.get(), bytes); !s.ok()) return LogError(log_path, s.description());
  if (Status s = log.Close(); !s.ok()) return LogError(log_path, s.description());
  return Status::Ok();
}

}  // namespace terravox
