#include "core/Finder/FinderAlias.hpp"

#include <unicode/unistr.h>

#include <algorithm>
#include <system_error>
#include <vector>

namespace halyard::FinderAlias {

namespace {

constexpr std::uint16_t tagParentName = 0;
constexpr std::uint16_t tagFolderNumbers = 1;
constexpr std::uint16_t tagColonPath = 2;
constexpr std::uint16_t tagFileName = 14;
constexpr std::uint16_t tagVolumeName = 15;
constexpr std::uint16_t tagVolumeDate = 16;
constexpr std::uint16_t tagFileDate = 17;
constexpr std::uint16_t tagPOSIXPath = 18;
constexpr std::uint16_t tagMountPoint = 19;
constexpr std::uint16_t tagEnd = 0xFFFF;

constexpr std::size_t volumeNameField = 28;
constexpr std::size_t fileNameField = 64;
constexpr std::size_t maximumFieldLength = 0xFFFF;

// The 4-byte form of a date: the low 32 bits of the signed value.
std::uint32_t shortDate(std::int64_t macTime) {
  return static_cast<std::uint32_t>(macTime);
}

// The 8-byte form: 1/65,536 s units, as an unsigned 64-bit number (two's complement before
// 1904).
std::uint64_t longDate(std::int64_t macTime) {
  return static_cast<std::uint64_t>(macTime) * 65536u;
}

std::string_view asText(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The components of `file` below `volume`, or none when it does not lie inside.
std::vector<std::string> componentsBelow(const std::string& volume, const std::string& file) {
  std::vector<std::string> components;
  if (file.size() <= volume.size() || file.compare(0, volume.size(), volume) != 0) {
    return components;
  }
  if (volume != "/" && file[volume.size()] != '/') return components;
  std::size_t start = volume.size();
  while (start < file.size()) {
    const std::size_t end = std::min(file.find('/', start), file.size());
    if (end > start) components.push_back(file.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

} // namespace

Failure::Failure(Kind kind, std::string path, const std::string& description)
    : Error("Halyard.FinderAlias", static_cast<int>(kind) + 1, description), kind_(kind),
      path_(std::move(path)) {}

Failure Failure::unreadable(const std::filesystem::path& path) {
  return Failure(Kind::unreadable, path.string(),
                 "Could not read file details for " + path.string());
}

Failure Failure::notInsideVolume(const std::filesystem::path& path) {
  return Failure(Kind::notInsideVolume, path.string(),
                 "The file is not inside the volume it should be found on: " + path.string());
}

Failure Failure::fieldTooLong(std::uint16_t tag) {
  return Failure(Kind::fieldTooLong, "",
                 "An alias field is too long for its record (tag " + std::to_string(tag) + ").");
}

std::int64_t creationSeconds(const std::filesystem::path& path, const FileFacts& facts) {
  const auto time = facts.creationTime(path);
  if (!time) throw Failure::unreadable(path);
  // The seconds are already rounded down (the nanoseconds are never negative), so the floor of
  // the shifted date is exact; wrap-around arithmetic keeps absurd dates defined.
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(time->seconds) +
                                   static_cast<std::uint64_t>(macEpochOffset));
}

std::uint32_t fileNumber(const std::filesystem::path& path, const FileFacts& facts) {
  const auto number = facts.fileNumber(path);
  if (!number) throw Failure::unreadable(path);
  return static_cast<std::uint32_t>(*number);
}

std::string hfsName(std::string_view name) {
  std::string result(name);
  std::replace(result.begin(), result.end(), ':', '/');
  return result;
}

Bytes pascal(std::string_view text, std::size_t fieldSize) {
  const std::size_t count = std::min({text.size(), fieldSize - 1, std::size_t{255}});
  BigEndianData out;
  out.appendByte(static_cast<std::uint8_t>(count));
  out.appendBytes(text.substr(0, count));
  out.appendZeros(fieldSize - 1 - count);
  return std::move(out.bytes);
}

void appendTag(BigEndianData& out, std::uint16_t tag, std::string_view data) {
  if (data.size() > maximumFieldLength) throw Failure::fieldTooLong(tag);
  out.appendUInt16(tag);
  out.appendUInt16(static_cast<std::uint16_t>(data.size()));
  out.appendBytes(data);
  if (data.size() % 2 == 1) out.appendByte(0);
}

void appendUnicodeTag(BigEndianData& out, std::uint16_t tag, const std::string& text) {
  const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  const auto units = static_cast<std::size_t>(unicode.length());
  if (2 + 2 * units > maximumFieldLength) throw Failure::fieldTooLong(tag);
  out.appendUInt16(tag);
  out.appendUInt16(static_cast<std::uint16_t>(2 + 2 * units));
  out.appendUInt16(static_cast<std::uint16_t>(units));
  for (int32_t i = 0; i < unicode.length(); ++i)
    out.appendUInt16(unicode.charAt(i));
}

std::filesystem::path standardized(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = path;
  std::filesystem::path result = std::filesystem::weakly_canonical(absolute, error);
  if (error) result = absolute.lexically_normal();
  std::string text = result.string();
  while (text.size() > 1 && text.back() == '/')
    text.pop_back();
  return text;
}

Bytes data(const std::filesystem::path& forFile, const std::filesystem::path& onVolumeAt,
           const std::string& volumeName, const FileFacts& facts) {
  const std::filesystem::path volume = standardized(onVolumeAt);
  const std::filesystem::path file = standardized(forFile);
  const std::filesystem::path parent = file.parent_path();

  // The reads come first and in this order, which decides the failure reported.
  const std::int64_t volumeDate = creationSeconds(volume, facts);
  const std::int64_t fileDate = creationSeconds(file, facts);
  const std::uint32_t fileID = fileNumber(file, facts);
  const std::uint32_t parentID = fileNumber(parent, facts);

  const std::vector<std::string> components = componentsBelow(volume.string(), file.string());
  if (components.empty()) throw Failure::notInsideVolume(file);

  BigEndianData folderNumbers;
  std::filesystem::path folder = volume;
  for (std::size_t i = 0; i + 1 < components.size(); ++i) {
    folder /= components[i];
    folderNumbers.append(fileNumber(folder, facts));
  }

  const std::string hfsVolume = hfsName(volumeName);
  const std::string hfsFile = hfsName(components.back());
  const std::string hfsParent = hfsName(parent.filename().string());
  std::string colonPath = hfsVolume;
  for (const auto& component : components)
    colonPath += ":" + hfsName(component);
  std::string relativePath;
  for (const auto& component : components)
    relativePath += "/" + component;

  BigEndianData out;
  out.append(std::uint32_t{0}); // application-defined type
  out.appendUInt16(0);          // total length, set below
  out.appendUInt16(2);          // version
  out.appendUInt16(0);          // kind: a file
  out.appendBytes(pascal(hfsVolume, volumeNameField));
  out.append(shortDate(volumeDate));
  out.appendBytes("H+");
  out.appendUInt16(0); // drive type
  out.append(parentID);
  out.appendBytes(pascal(hfsFile, fileNameField));
  out.append(fileID);
  out.append(shortDate(fileDate));
  out.append(std::uint32_t{0}); // file type
  out.append(std::uint32_t{0}); // creator
  out.appendUInt16(0xFFFF);     // levels from
  out.appendUInt16(0xFFFF);     // levels to
  out.append(std::uint32_t{0}); // volume attributes
  out.appendUInt16(0);          // volume file-system identifier
  out.appendZeros(10);          // reserved

  BigEndianData date;
  appendTag(out, tagParentName, hfsParent);
  date.append(longDate(volumeDate));
  appendTag(out, tagVolumeDate, asText(date.bytes));
  date.bytes.clear();
  date.append(longDate(fileDate));
  appendTag(out, tagFileDate, asText(date.bytes));
  if (components.size() > 1) appendTag(out, tagFolderNumbers, asText(folderNumbers.bytes));
  appendTag(out, tagColonPath, colonPath);
  appendUnicodeTag(out, tagFileName, hfsFile);
  appendUnicodeTag(out, tagVolumeName, hfsVolume);
  appendTag(out, tagPOSIXPath, relativePath);
  appendTag(out, tagMountPoint, volume.string());
  appendTag(out, tagEnd, "");

  // Only the low 16 bits of the length fit; every field is bounded, the sum is not checked.
  const std::size_t length = out.size();
  out.bytes[4] = static_cast<std::uint8_t>(length >> 8);
  out.bytes[5] = static_cast<std::uint8_t>(length);
  return std::move(out.bytes);
}

} // namespace halyard::FinderAlias
