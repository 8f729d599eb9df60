#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace halyard {

// File-system facts whose source differs between macOS and Linux. Paths are followed through
// symbolic links. A failing system call throws halyard::Error (domain "Halyard.platform", the
// errno as code, a description naming the call and the path).
struct Platform {
  // A point in time as the file system keeps it: whole seconds since 1970-01-01 00:00:00 UTC
  // (rounded down) and the nanoseconds past them (0 to 999,999,999).
  struct FileTime {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
  };

  // The creation (birth) time: st_birthtimespec on macOS, statx's birth time on Linux. None
  // when the file system keeps no birth time (tmpfs, overlay, procfs and others).
  static std::optional<FileTime> creationTime(const std::filesystem::path& path);

  // The system's file number (inode number).
  static std::uint64_t fileNumber(const std::filesystem::path& path);

  // The name of the volume mounted at `mountPoint` as the system reports it, or none when the
  // system keeps no volume names (Linux) or `mountPoint` is not the root of a volume.
  static std::optional<std::string> volumeName(const std::filesystem::path& mountPoint);
};

} // namespace halyard
