#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// The few Info.plist facts the inspection shows about an app.
struct AppBundleInfo {
  std::optional<std::string> shortVersion;         // CFBundleShortVersionString
  std::optional<std::string> minimumSystemVersion; // LSMinimumSystemVersion
  std::optional<std::string> executable;           // CFBundleExecutable

  // Reads <app>/Contents/Info.plist. Links are not followed and an oversized file is not read;
  // a missing or unreadable file gives no facts.
  static AppBundleInfo read(const std::filesystem::path& app);

  static AppBundleInfo parse(std::string_view data);

  // The main executable's path, when its name is a plain file name (no folders, no "..").
  std::optional<std::filesystem::path> executablePath(const std::filesystem::path& app) const;

  bool operator==(const AppBundleInfo&) const = default;
};

} // namespace halyard
