#pragma once
// The "drives" of the file writer's drive box: the mounted file systems that
// hold files, from the kernel's mount table.
#include <string>
#include <vector>

// Mount points of the real file systems in a mount table text (the format of
// /proc/self/mounts): pseudo file systems and the system's own mounts under
// /proc, /sys, /dev, /run and /snap are left out. "/" first, then in order of
// name, each once.
std::vector<std::string> RealMountPoints(const std::string& table);

// The same for the running system; at least "/".
std::vector<std::string> MountedFileSystems();

// The mount point among `mounts` that holds `path` (an absolute path): the
// longest one that is `path` or one of its parents; "/" when none is.
std::string MountPointOf(const std::string& path, const std::vector<std::string>& mounts);
