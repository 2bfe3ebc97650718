// UserStateFolder from the XDG rules; MakePrivateFolder with mkdir and lstat.
#include "core/user_state.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/paths.h"

namespace terravox {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

#ifdef _WIN32

std::string UserStateFolder() {
  const std::string local = Environment("LOCALAPPDATA");
  return local.empty() ? std::string() : JoinPath(local, "terravox");
}

Status MakePrivateFolder(const std::string& folder) {
  // A user's LOCALAPPDATA is not shared: the folder only has to exist.
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return Error::FromErrno(ec.value());
  return Status::Ok();
}

#else

std::string UserStateFolder() {
  const std::string state = Environment("XDG_STATE_HOME");
  if (!state.empty() && state.front() == '/') return JoinPath(state, "terravox");
  std::string home = Environment("HOME");
  if (home.empty()) {
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
      home = user->pw_dir;
    }
  }
  if (home.empty()) return std::string();
  return JoinPath(JoinPath(JoinPath(home, ".local"), "state"), "terravox");
}

Status MakePrivateFolder(const std::string& folder) {
  // Each missing piece is made 0700 (XDG asks that of the state home too); pieces that stand
  // are left as they are.
  std::filesystem::path made;
  for (const std::filesystem::path& piece : std::filesystem::path(folder)) {
    made /= piece;
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return Error::FromErrno(errno);
  }
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) return Error::FromErrno(errno);
  if (!S_ISDIR(info.st_mode)) return Error(ErrorKind::kOther, folder + " is not a folder");
  if (info.st_uid != ::geteuid()) {
    return Error(ErrorKind::kOther, folder + " belongs to another user");
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return Error(ErrorKind::kOther, folder + " is writable by other users");
  }
  return Status::Ok();
}

#endif

}  // namespace terravox
