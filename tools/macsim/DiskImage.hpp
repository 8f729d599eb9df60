#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace macsim {

struct DiskImageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A disk image file: a tar archive of the volume's contents (plain, or compressed with gzip,
// bzip2, lz4 or lzma after the image format), followed by a FileTrailer whose "image" entry
// holds the format, file system, volume name and capacity. Ordinary archive tools list and
// unpack the volume; license resources, a signature and a stapled ticket join the trailer.
struct DiskImage {
  struct Properties {
    std::string format = "UDRW";
    std::string filesystem = "HFS+";
    std::string volumeName = "untitled";
    std::uint64_t capacity = 0; // bytes
  };

  static bool isKnownFormat(const std::string& format);
  static bool isWritableFormat(const std::string& format);
  static bool isCompressedFormat(const std::string& format);
  // "UDIF read-only compressed (zlib)", ...
  static std::string formatDescription(const std::string& format);

  static bool isImage(const std::filesystem::path& path);
  // Throws DiskImageError("image not recognized") for anything else.
  static Properties properties(const std::filesystem::path& path);
  // Writes a new image holding `source`'s contents (or an empty volume). `level` is the zlib
  // level for UDZO. Throws DiskImageError("No space left on device") when they do not fit.
  static void create(const std::filesystem::path& path, const Properties& properties,
                     const std::optional<std::filesystem::path>& source, int level = -1);
  static void unpack(const std::filesystem::path& image, const std::filesystem::path& folder);
  // Writes `folder` back into the image in place, keeping its other trailer entries. Returns
  // false when the contents did not change (the file is then left untouched).
  static bool repack(const std::filesystem::path& image, const std::filesystem::path& folder);
  // A new image in `format` with the same volume and license resources (no signature, no ticket).
  static void convert(const std::filesystem::path& source, const std::filesystem::path& destination,
                      const std::string& format, int level);
  // The license resources (an XML property list), if any were added with udifrez.
  static std::optional<std::string> resources(const std::filesystem::path& path);
  static void setResources(const std::filesystem::path& path, const std::string& xml);
};

} // namespace macsim
