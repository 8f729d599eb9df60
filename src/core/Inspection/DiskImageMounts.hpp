#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

// Reads mount points and devices out of the property lists that hdiutil prints with -plist.
struct DiskImageMounts {
  // From `hdiutil info -plist`: the first mount point of the attached image whose image path is
  // `image`, or none when the image is not attached.
  static std::optional<std::filesystem::path>
  existingMountPoint(std::string_view infoPlist, const std::filesystem::path& image);

  // From `hdiutil attach -plist`: the first mount point among the system entities, or none.
  static std::optional<std::filesystem::path> firstMountPoint(std::string_view attachPlist);

  // From `hdiutil attach -plist`: the first device entry (the whole disk), or none.
  static std::optional<std::string> firstDeviceEntry(std::string_view attachPlist);

  // An attached image: its path and its whole-disk device (the smallest device path).
  struct AttachedImage {
    std::string imagePath;
    std::string device;
  };
  // From `hdiutil info -plist` (XML or binary): every attached image with a path and a device, in
  // order. A malformed list yields none.
  static std::vector<AttachedImage> attachedImages(std::string_view infoPlist);

  // From `hdiutil info -plist` (XML or binary): the whole-disk device (the smallest device path)
  // of every attached image whose image path contains one of `imagePathMarkers`, in order.
  static std::vector<std::string>
  wholeDiskDevices(std::string_view infoPlist,
                   const std::vector<std::string_view>& imagePathMarkers);

  // The mount points or devices this process attached and has not detached yet, whatever the
  // image is called, so that a cancellation or the end of the command can detach them; each is
  // remembered once, and forgotten only once it has actually detached. Safe from any thread.
  static void rememberAttached(const std::string& target);
  static void forgetAttached(const std::string& target);
  static std::vector<std::string> attachedByThisProcess();
};

} // namespace halyard
