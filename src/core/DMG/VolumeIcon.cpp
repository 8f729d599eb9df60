#include "core/DMG/VolumeIcon.hpp"

#include <fstream>

#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Process/ExtendedAttributes.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t maximumInfoPlistSize = 16 * 1024 * 1024;

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
  const ToolRun run{AppleTools::Runner::shared, AppleTools::quickQueryLimit};
  // None without Finder information yet (xattr exits 1); a tool that cannot run fails the write.
  const std::string current =
      ExtendedAttributes::readBytes(volumeRoot, finderInfoAttribute, run).value_or("");
  CoreCommand::checked(ExtendedAttributes::writeBytes(volumeRoot, finderInfoAttribute,
                                                      withCustomIconFlag(current), run));
}

std::string VolumeIcon::withCustomIconFlag(std::string_view finderInfo) {
  std::string bytes(finderInfo.substr(0, finderInfoSize));
  bytes.resize(finderInfoSize, '\0');
  bytes[8] = static_cast<char>(static_cast<unsigned char>(bytes[8]) | (customIconFlag >> 8));
  bytes[9] = static_cast<char>(static_cast<unsigned char>(bytes[9]) | (customIconFlag & 0xFF));
  return bytes;
}

} // namespace halyard
