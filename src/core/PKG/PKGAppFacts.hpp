#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace halyard {

// What the installer package takes from the app's Contents/Info.plist (XML or binary; an
// unreadable file counts as an empty dictionary).
struct PKGAppFacts {
  // Put before the app's file name when the app has no bundle identifier.
  static constexpr const char* identifierPrefix = "com.halyard.";

  // CFBundleIdentifier, else the prefix followed by the app's file name without extension with
  // every space replaced by "-".
  std::string identifier;
  // CFBundleShortVersionString, else CFBundleVersion, else "1.0".
  std::string version;
  // LSMinimumSystemVersion; none when absent or empty.
  std::optional<std::string> minimumSystemVersion;
  // CFBundleExecutable; none when absent or empty.
  std::optional<std::string> executableName;

  static PKGAppFacts read(const std::filesystem::path& app);
};

} // namespace halyard
