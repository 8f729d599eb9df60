#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace halyard {

// What an update feed says about an app, from its Info.plist.
struct AppBundleVersions {
  std::string name;                                // appBundleDisplayName
  std::optional<std::string> version;              // CFBundleVersion
  std::optional<std::string> shortVersion;         // CFBundleShortVersionString
  std::optional<std::string> minimumSystemVersion; // LSMinimumSystemVersion

  // Each value only when it is text that is not blank, trimmed. Never throws.
  static AppBundleVersions read(const std::filesystem::path& app);
};

} // namespace halyard
