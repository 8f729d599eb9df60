#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/Finder/BigEndianData.hpp"
#include "core/Finder/FileFacts.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// Builds the Finder's alias record (version 2: 150 fixed bytes, then tagged fields) for a file
// inside a mounted volume, from which the Finder locates the file even when the volume is
// mounted elsewhere. Used for the background picture of the DMG window.
namespace FinderAlias {

class Failure : public Error {
public:
  enum class Kind {
    // A creation date or file number is missing for `path`.
    unreadable,
    // The file does not lie inside the volume (or is the volume itself).
    notInsideVolume,
    // A tagged field would need more than the 65,535 bytes its length can describe.
    fieldTooLong,
  };

  static Failure unreadable(const std::filesystem::path& path);
  static Failure notInsideVolume(const std::filesystem::path& path);
  static Failure fieldTooLong(std::uint16_t tag);

  Kind kind() const { return kind_; }
  // The path the failure is about (empty for fieldTooLong).
  const std::string& path() const { return path_; }

private:
  Failure(Kind kind, std::string path, const std::string& description);

  Kind kind_;
  std::string path_;
};

// Seconds between 1904-01-01 and 1970-01-01, both 00:00:00 UTC.
inline constexpr std::int64_t macEpochOffset = 2082844800;

// The alias record of `forFile`, which must lie inside the volume mounted at `onVolumeAt`;
// `volumeName` is the volume's display name. Throws Failure, or the platform's error from
// reading file information.
Bytes data(const std::filesystem::path& forFile, const std::filesystem::path& onVolumeAt,
           const std::string& volumeName, const FileFacts& facts = FileFacts::system());

// The creation date of `path` in whole seconds since 1904-01-01 00:00:00 UTC (rounded down).
std::int64_t creationSeconds(const std::filesystem::path& path, const FileFacts& facts);

// The low 32 bits of the file number of `path`.
std::uint32_t fileNumber(const std::filesystem::path& path, const FileFacts& facts);

// The HFS form of a name: every ":" replaced by "/".
std::string hfsName(std::string_view name);

// The first min(fieldSize - 1, 255) bytes of `text`, preceded by their count as one byte and
// followed by zero bytes up to `fieldSize` bytes in all.
Bytes pascal(std::string_view text, std::size_t fieldSize);

// A tagged field: tag, data length, data, and a zero byte when the length is odd.
void appendTag(BigEndianData& out, std::uint16_t tag, std::string_view data);

// A tagged field holding `text` as UTF-16 code units (high byte first) after their count.
void appendUnicodeTag(BigEndianData& out, std::uint16_t tag, const std::string& text);

// The path with symbolic links and "." and ".." resolved as far as it exists, absolute, with
// no trailing "/".
std::filesystem::path standardized(const std::filesystem::path& path);

} // namespace FinderAlias

} // namespace halyard
