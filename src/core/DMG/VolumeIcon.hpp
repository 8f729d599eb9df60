#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// The custom icon of a disk image's volume: the app's icon file copied to ".VolumeIcon.icns" at
// the volume's root, and the custom-icon flag set in the root folder's Finder information (the
// 32-byte attribute com.apple.FinderInfo, whose bytes 8 and 9 hold the Finder flags, big-endian).
struct VolumeIcon {
  static constexpr const char* fileName = ".VolumeIcon.icns";
  static constexpr const char* finderInfoAttribute = "com.apple.FinderInfo";
  static constexpr std::size_t finderInfoSize = 32;
  static constexpr unsigned customIconFlag = 0x0400;

  // The icon file the app's Info.plist names (CFBundleIconFile, with or without ".icns") in its
  // Contents/Resources: a regular file (not a link) that starts like an icon file. None when the
  // app names no icon, names a path instead of a file name, or the file is missing or no icon.
  static std::optional<std::filesystem::path> appIconFile(const std::filesystem::path& app);

  // Copies `iconFile` to the volume's root and sets the custom-icon flag of the root folder with
  // `xattr`, keeping the rest of any Finder information already there. Throws the tools' and
  // the file system's errors.
  static void apply(const std::filesystem::path& iconFile, const std::filesystem::path& volumeRoot);

  // `finderInfo` (absent or short: zeros) as 32 bytes with the custom-icon flag set.
  static std::string withCustomIconFlag(std::string_view finderInfo);
};

} // namespace halyard
