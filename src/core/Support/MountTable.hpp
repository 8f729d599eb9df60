#pragma once

#include <filesystem>

namespace halyard {

// Whether a path is the root of a mounted volume, the one place that knows how to tell. With a
// tool root in force the stand-in tools mount their images as folders directly inside
// ROOT/Volumes, and such a folder counts as a volume; everything else is asked of the file system
// (on macOS the mount table entry of the path, elsewhere a change of device at the path).
struct MountTable {
  static bool isMountedVolume(const std::filesystem::path& path);
};

} // namespace halyard
