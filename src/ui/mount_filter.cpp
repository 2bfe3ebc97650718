// The mount point rule of the folder dialog's drive list.
#include "ui/mount_filter.h"

#include <array>

namespace terravox {
namespace {

// File systems that hold no user files: kernel interfaces, device nodes, control groups.
constexpr std::array<std::string_view, 24> kPseudoTypes = {
    "proc",       "sysfs",     "devtmpfs",  "devpts", "cgroup",      "cgroup2",
    "securityfs", "debugfs",   "tracefs",   "pstore", "bpf",         "configfs",
    "fusectl",    "hugetlbfs", "mqueue",    "autofs", "binfmt_misc", "efivarfs",
    "rpc_pipefs", "nsfs",      "selinuxfs", "ramfs",  "squashfs",    "fuse.gvfsd-fuse"};

// System folders whose sub-mounts are the system's own; user volumes are mounted elsewhere
// (/media, /mnt, /run/media, /home...).
constexpr std::array<std::string_view, 6> kSystemFolders = {"/proc", "/sys",  "/dev",
                                                            "/run",  "/boot", "/snap"};

bool IsUnder(std::string_view path, std::string_view folder) {
  return path == folder || (path.size() > folder.size() &&
                            path.substr(0, folder.size()) == folder && path[folder.size()] == '/');
}

}  // namespace

bool IsBrowsableMount(std::string_view root_path, std::string_view fs_type) {
  if (root_path == "/") return true;
  for (std::string_view pseudo : kPseudoTypes) {
    if (fs_type == pseudo) return false;
  }
  if (IsUnder(root_path, "/run/media")) return true;  // where desktops mount removable volumes
  for (std::string_view folder : kSystemFolders) {
    if (IsUnder(root_path, folder)) return false;
  }
  return true;
}

}  // namespace terravox
