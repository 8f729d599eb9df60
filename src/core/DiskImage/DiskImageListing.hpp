#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

// Reads the property lists `hdiutil attach -plist` and `hdiutil info -plist` print: XML after
// whatever the tool printed first (a warning, a license agreement's text), or a binary list. An
// APFS image's mount point is on the synthesized container's volume, so every entity is searched.
struct DiskImageListing {
  // What one attach reported: the first device entry (the whole disk) and the first mount point
  // among the system entities. A malformed list (no dictionary, no "system-entities" array, an
  // entity that is not a dictionary) reports neither.
  struct Attached {
    std::optional<std::string> device;
    std::optional<std::string> mountPoint;
  };
  static Attached attached(std::string_view attachOutput);

  // An image in the info listing: its path (links resolved) and its whole-disk device, the
  // smallest of its device paths (the whole disk sorts before its slices).
  struct Image {
    std::string imagePath;
    std::string device;
  };
  // Every image with a path and a device, in order; a malformed listing yields none.
  static std::vector<Image> images(std::string_view infoOutput);

  // The first mount point of `image` (matched as a file, so through links) in the info listing;
  // none when it is not attached or has no mounted volume.
  static std::optional<std::filesystem::path> mountPoint(std::string_view infoOutput,
                                                         const std::filesystem::path& image);
};

} // namespace halyard
