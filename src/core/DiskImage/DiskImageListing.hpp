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

  // An image in the info listing: its path (links resolved), its whole-disk device (the
  // smallest of its device paths, since the whole disk sorts before its slices; empty when it has
  // none) and the first mount point among its entities.
  struct Image {
    std::string imagePath;
    std::string device;
    std::optional<std::string> mountPoint;

    bool operator==(const Image&) const = default;
  };
  // Every image with a path, in order; a malformed listing yields none.
  static std::vector<Image> images(std::string_view infoOutput);

  // The mount point of `image` (matched as a file, so through links) among the listed images;
  // none when it is not attached or has no mounted volume.
  static std::optional<std::filesystem::path> mountPoint(const std::vector<Image>& images,
                                                         const std::filesystem::path& image);
};

} // namespace halyard
