#include "core/DMG/VolumeIcon.hpp"

#include <fstream>

#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t maximumInfoPlistSize = 16 * 1024 * 1024;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

std::optional<fs::path> VolumeIcon::appIconFile(const fs::path& app) {
  const auto info = PropertyList::readFile(app / "Contents" / "Info.plist", maximumInfoPlistSize);
  std::string name = text::trimmed(info.string("CFBundleIconFile").value_or(""));
  // The name is a file name inside Resources; anything that leads elsewhere is not an icon.
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos)
    return std::nullopt;
  if (text::lowercasedASCII(fs::path(name).extension().string()) != ".icns") name += ".icns";
  const fs::path file = app / "Contents" / "Resources" / name;
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(file, error))) return std::nullopt;
  char magic[4] = {};
  std::ifstream stream(file, std::ios::binary);
  if (!stream.read(magic, sizeof magic) || std::string_view(magic, 4) != "icns")
    return std::nullopt;
  return file;
}

void VolumeIcon::apply(const fs::path& iconFile, const fs::path& volumeRoot) {
  fs::copy_file(iconFile, volumeRoot / fileName, fs::copy_options::overwrite_existing);
  std::string current;
  try {
    current =
        bytesOfHexText(CoreCommand::captureData(AppleTools::xattr,
                                                {"-px", finderInfoAttribute, volumeRoot.string()},
                                                AppleTools::quickQueryLimit))
            .value_or("");
  } catch (const CoreCommandError&) {
    // No Finder information yet (xattr exits 1); a tool that cannot run fails the write below.
  }
  CoreCommand::run(
      AppleTools::xattr,
      {"-wx", finderInfoAttribute, hexText(withCustomIconFlag(current)), volumeRoot.string()},
      AppleTools::quickQueryLimit);
}

std::string VolumeIcon::withCustomIconFlag(std::string_view finderInfo) {
  std::string bytes(finderInfo.substr(0, finderInfoSize));
  bytes.resize(finderInfoSize, '\0');
  bytes[8] = static_cast<char>(static_cast<unsigned char>(bytes[8]) | (customIconFlag >> 8));
  bytes[9] = static_cast<char>(static_cast<unsigned char>(bytes[9]) | (customIconFlag & 0xFF));
  return bytes;
}

std::string VolumeIcon::hexText(std::string_view bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string result;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) result += ' ';
    const auto byte = static_cast<unsigned char>(bytes[i]);
    result += digits[byte >> 4];
    result += digits[byte & 0x0F];
  }
  return result;
}

std::optional<std::string> VolumeIcon::bytesOfHexText(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (const char c : text) {
    if (isSpace(c)) {
      if (high >= 0) return std::nullopt; // a pair is never split
      continue;
    }
    const int digit = hexDigit(c);
    if (digit < 0) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high << 4 | digit);
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

} // namespace halyard
