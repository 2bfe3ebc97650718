// Owner locks: one lock file per folder this process has temporaries in, shared by count, locked
// with open-file-description locks.
#include "core/owner_lock.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>

#include "core/paths.h"
#include "core/submission.h"
#include "core/temporary_name.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/unique_fd.h"
#endif

namespace terravox {
namespace {

constexpr std::string_view kSubmissionKey = "submission=";

}  // namespace

std::string OwnerLockPath(const std::string& folder, const ProcessTag& owner) {
  const std::string name = TemporaryStem(owner, 0) + std::string(kOwnerLockSuffix);
  return folder.empty() ? name : JoinPath(folder, name);
}

#ifndef _WIN32
namespace {

// Open-file-description locks belong to one open of the file, not to the process: closing
// another descriptor of it (a probe of our own lock) does not drop them, as it would a classic
// POSIX lock, and they conflict with every other open, in this process too.
#ifdef F_OFD_SETLK
constexpr int kSetLock = F_OFD_SETLK;
constexpr int kGetLock = F_OFD_GETLK;
#else
constexpr int kSetLock = F_SETLK;
constexpr int kGetLock = F_GETLK;
#endif

struct flock WholeFile(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;
}

using FolderKey = std::pair<dev_t, ino_t>;

struct HeldLock {
  std::string path;
  UniqueFd fd;
  int shares = 0;
};

std::mutex g_mutex;

// Never destroyed: shares may outlive every other static at exit.
std::map<FolderKey, HeldLock>& Held() {
  static auto* held = new std::map<FolderKey, HeldLock>();
  return *held;
}

// Makes, locks and fills the lock file. A sweep may find the file between its making and its
// locking and remove it as its owner's: the lock must be on the file that bears the name.
UniqueFd TakeLock(const std::string& path) {
  const std::string text = std::string(kSubmissionKey) + CurrentSubmission() + "\n";
  for (int attempt = 0; attempt < 4; ++attempt) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return {};
    struct flock lock = WholeFile(F_WRLCK);
    struct stat opened {};
    if (::fcntl(fd.get(), kSetLock, &lock) != 0 || ::fstat(fd.get(), &opened) != 0) {
      // A file system without locks: a lock file no one holds would say this process has ended.
      ::unlink(path.c_str());
      return {};
    }
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino) {
      continue;
    }
    if (::ftruncate(fd.get(), 0) != 0 || !WriteAllAt(fd.get(), text, 0).ok()) {
      ::unlink(path.c_str());
      return {};
    }
    return fd;
  }
  ::unlink(path.c_str());
  return {};
}

// One share of a folder's lock; the last one to go removes the file, then unlocks it by closing.
class Share {
 public:
  explicit Share(FolderKey key) : key_(key) {}
  Share(const Share&) = delete;
  Share& operator=(const Share&) = delete;
  ~Share() {
    std::lock_guard guard(g_mutex);
    auto it = Held().find(key_);
    if (it == Held().end() || --it->second.shares > 0) return;
    // Removed while still locked: no one finds it free while this process lives.
    ::unlink(it->second.path.c_str());
    Held().erase(it);
  }

 private:
  FolderKey key_;
};

}  // namespace

std::shared_ptr<const void> HoldOwnerLock(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.empty() ? "." : folder.c_str(), &info) != 0) return nullptr;
  const FolderKey key{info.st_dev, info.st_ino};
  std::lock_guard guard(g_mutex);
  auto it = Held().find(key);
  if (it == Held().end()) {
    std::string path = OwnerLockPath(folder, ThisProcess());
    UniqueFd fd = TakeLock(path);
    if (!fd.valid()) return nullptr;
    it = Held().emplace(key, HeldLock{std::move(path), std::move(fd), 0}).first;
  }
  ++it->second.shares;
  return std::make_shared<const Share>(key);
}

LockState ProbeOwnerLock(const std::string& lock_path) {
  UniqueFd fd(::open(lock_path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return errno == ENOENT ? LockState::kMissing : LockState::kUnknown;
  struct flock lock = WholeFile(F_WRLCK);
  if (::fcntl(fd.get(), kGetLock, &lock) != 0) return LockState::kUnknown;
  return lock.l_type == F_UNLCK ? LockState::kFree : LockState::kHeld;
}

std::string LockSubmission(const std::string& lock_path) {
  UniqueFd fd(::open(lock_path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return "";
  char buffer[512];
  ssize_t size;
  do {
    size = ::read(fd.get(), buffer, sizeof buffer);
  } while (size < 0 && errno == EINTR);
  if (size <= 0) return "";
  std::string_view text(buffer, static_cast<size_t>(size));
  if (text.substr(0, kSubmissionKey.size()) != kSubmissionKey) return "";
  text.remove_prefix(kSubmissionKey.size());
  return std::string(text.substr(0, text.find('\n')));
}

#else  // no fcntl locks: temporaries are left to `terravox-cli clean`

std::shared_ptr<const void> HoldOwnerLock(const std::string&) { return nullptr; }
LockState ProbeOwnerLock(const std::string&) { return LockState::kUnknown; }
std::string LockSubmission(const std::string&) { return ""; }

#endif

}  // namespace terravox
