#include "core/DMG/AppIconFile.hpp"

#include <algorithm>

#include "core/Support/Error.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/RegularFileReader.hpp"

namespace halyard {

namespace {

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

constexpr std::string_view pngSignature("\x89PNG\r\n\x1A\n", 8);

// The width in a PNG's header chunk, or none when the bytes do not start like a PNG.
std::optional<std::uint32_t> pngWidth(std::string_view image) {
  if (image.size() < 24 || image.substr(0, 8) != pngSignature || image.substr(12, 4) != "IHDR")
    return std::nullopt;
  return bigEndian32(image, 16);
}

} // namespace

std::optional<std::string> AppIconFile::largestPNG(std::string_view icns) {
  // "icns", the file's length, then entries: a four-character type, the entry's length with its
  // 8-byte head, the data.
  if (icns.size() < 8 || icns.substr(0, 4) != "icns") return std::nullopt;
  const std::size_t end = std::min<std::size_t>(icns.size(), bigEndian32(icns, 4));
  std::optional<std::string_view> best;
  std::uint32_t bestWidth = 0;
  std::size_t at = 8;
  while (at + 8 <= end) {
    const std::size_t length = bigEndian32(icns, at + 4);
    if (length < 8 || length > end - at) break;
    const std::string_view data = icns.substr(at + 8, length - 8);
    if (const auto width = pngWidth(data); width && *width > bestWidth) {
      best = data;
      bestWidth = *width;
    }
    at += length;
  }
  if (!best) return std::nullopt;
  return std::string(*best);
}

std::optional<std::string> AppIconFile::forApp(const std::filesystem::path& app) {
  const auto info = PropertyList::readFile(app / "Contents" / "Info.plist", 8 * 1024 * 1024);
  auto name = info.string("CFBundleIconFile");
  if (!name || name->empty() || name->find('/') != std::string::npos || *name == "." ||
      *name == "..")
    return std::nullopt;
  std::filesystem::path file = app / "Contents" / "Resources" / *name;
  if (!file.has_extension()) file += ".icns";
  try {
    return largestPNG(RegularFileReader::read(file, maximumFileSize));
  } catch (const Error&) {
    return std::nullopt;
  }
}

} // namespace halyard
