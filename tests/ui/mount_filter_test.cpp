// IsBrowsableMount: which mount points the folder dialog lists as drives.
#include "ui/mount_filter.h"

#include <gtest/gtest.h>

namespace terravox {
namespace {

TEST(MountFilterTest, ListsUserVolumesAndLeavesSystemMountsOut) {
  struct Row {
    const char* root;
    const char* type;
    bool browsable;
  };
  const Row rows[] = {
      {"/", "ext4", true},
      {"/", "overlay", true},  // a container's root is still the root
      {"/home", "ext4", true},
      {"/media/usb", "vfat", true},
      {"/mnt/data", "xfs", true},
      {"/run/media/ann/DISK", "exfat", true},
      {"/tmp", "tmpfs", true},
      {"/proc", "proc", false},
      {"/sys", "sysfs", false},
      {"/sys/fs/cgroup", "tmpfs", false},
      {"/sys/fs/cgroup/cpu", "cgroup", false},
      {"/dev", "devtmpfs", false},
      {"/dev/shm", "tmpfs", false},
      {"/dev/pts", "devpts", false},
      {"/run", "tmpfs", false},
      {"/run/user/1000", "tmpfs", false},
      {"/boot/efi", "vfat", false},
      {"/snap/core/123", "squashfs", false},
      {"/proc/sys/fs/binfmt_misc", "binfmt_misc", false},
      {"/devices", "ext4", true},  // only whole folder names count
  };
  for (const Row& row : rows) {
    EXPECT_EQ(IsBrowsableMount(row.root, row.type), row.browsable) << row.root << " " << row.type;
  }
}

}  // namespace
}  // namespace terravox
