#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace halyard {

// What one installer package is made of.
struct PKGBuildRequest {
  // The prepared app bundle.
  std::filesystem::path appURL;
  // Where the finished package is written.
  std::filesystem::path outputURL;
  // The installer window's title.
  std::string title;
  // The license per localisation: installer folder name without ".lproj" (en, en_GB, zh_Hans,
  // ...) to the RTF document's bytes. Empty means no license.
  std::map<std::string, std::string> licenseFolders;
  // The Developer ID Installer identity to sign with; absent or empty means unsigned.
  std::optional<std::string> signingIdentity;
};

} // namespace halyard
