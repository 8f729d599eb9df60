#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace halyard {

// Reads mount points out of the property lists that hdiutil prints with -plist.
struct DiskImageMounts {
  // From `hdiutil info -plist`: the first mount point of the attached image whose image path is
  // `image`, or none when the image is not attached.
  static std::optional<std::filesystem::path>
  existingMountPoint(std::string_view infoPlist, const std::filesystem::path& image);

  // From `hdiutil attach -plist`: the first mount point among the system entities, or none.
  static std::optional<std::filesystem::path> firstMountPoint(std::string_view attachPlist);

  // From `hdiutil attach -plist`: the first device entry (the whole disk), or none.
  static std::optional<std::string> firstDeviceEntry(std::string_view attachPlist);
};

} // namespace halyard
