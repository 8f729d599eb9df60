#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// An app's icon as the Finder shows it: the largest PNG-coded image of the icon family file
// (.icns) that the app's Info.plist names. Current icon files hold PNG images for 512 and 1,024
// pixels; older image kinds in the same file are passed over.
struct AppIconFile {
  // Icon files beyond this are not read.
  static constexpr std::uintmax_t maximumFileSize = 64 * 1024 * 1024;

  // The PNG image of the greatest width in an icon family file's bytes; none when there is none
  // or the file is not an icon family. Entries are checked against the file's length, so a
  // damaged file gives what can be read before the damage.
  static std::optional<std::string> largestPNG(std::string_view icns);

  // The icon of the bundle at `app`: Contents/Resources/ + CFBundleIconFile (".icns" added when
  // it has no extension). None when the bundle names no icon file or it cannot be read; only
  // regular files inside the bundle's Resources folder are read.
  static std::optional<std::string> forApp(const std::filesystem::path& app);
};

} // namespace halyard
