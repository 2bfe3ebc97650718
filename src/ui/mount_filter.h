// IsBrowsableMount: which mount points the folder dialog offers as drives. The root and mounted
// volumes are; the system's pseudo file systems (/proc, /sys, /dev, cgroups, ...) and mounts
// inside system folders are not.
#pragma once

#include <string_view>

namespace terravox {

// root_path: the mount point; fs_type: its file system type as the system names it ("ext4").
bool IsBrowsableMount(std::string_view root_path, std::string_view fs_type);

}  // namespace terravox
