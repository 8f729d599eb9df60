#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/DMG/DMGCompressionFormat.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// Where hdiutil attached an image.
struct LegacyDiskImageAttachment {
  std::string device;     // "/dev/disk4"
  std::string mountPoint; // "/Volumes/My App"

  bool operator==(const LegacyDiskImageAttachment&) const = default;
};

// An attach whose output names no device or no mount point.
class LegacyDiskImageError : public Error {
public:
  static constexpr const char* domainName = "Halyard.hdiutil";
  LegacyDiskImageError() : Error(domainName, -1, "Failed to mount.") {}
};

// The legacy disk-image family: /usr/bin/hdiutil with HFS+ images, every run through CoreCommand
// with the disk-image time limit. Tool failures are CoreCommandError; it keeps no state.
struct LegacyDiskImageTool {
  // An empty read-write HFS+ image of `sizeMB` megabytes, replacing any file at `image`.
  static void createReadWrite(const std::filesystem::path& image, long long sizeMB,
                              const std::string& volumeName);
  static LegacyDiskImageAttachment attach(const std::filesystem::path& image);
  // Detaches with force; `device` comes from attach.
  static void detach(const std::string& device);
  // The same during a clean-up, errors ignored: the short query limit (then TERM, then KILL), so
  // that a detach that hangs does not hold an error or the end of the process back; while a
  // cancellation is under way the child is not registered, so that it does not stop its own
  // clean-up.
  static void detachQuietly(const std::string& device) noexcept;
  // Converts `source` into a compressed read-only image at `destination`, replacing it.
  static void compress(const std::filesystem::path& source,
                       const std::filesystem::path& destination, DMGCompressionFormat format);

  // The device and mount point in the output of `hdiutil attach -plist` (lines printed before
  // the property list are skipped). Throws LegacyDiskImageError when either is missing.
  static LegacyDiskImageAttachment parseAttachPlist(std::string_view output);
};

} // namespace halyard
