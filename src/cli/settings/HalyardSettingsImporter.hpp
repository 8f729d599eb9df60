#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/settings/CLIConfiguration.hpp"

namespace bosun {

// Reads the desktop app's stored preferences and turns them into a configuration. The app keeps
// them in two preference domains, the direct edition's and the store edition's; each domain is the
// property-list file ~/Library/Preferences/<domain>.plist (binary or XML). The first domain that
// holds any value this importer knows is used; the other is not looked at.
struct HalyardSettingsImporter {
  static constexpr std::array<const char*, 2> domains = {"com.halyard.Halyard",
                                                         "com.halyard.Halyard.Store"};

  // The file of each domain, in the order they are read.
  static std::vector<std::filesystem::path> domainFiles();

  // The settings of the first domain with values, or no value when neither has any.
  static std::optional<CLIConfiguration> load();
  // The settings in one preference file; an unreadable file or one without known values gives no
  // value.
  static std::optional<CLIConfiguration> read(const std::filesystem::path& preferencesFile);

  // A short list of what a configuration holds, for the wizard's question: "identity, keychain
  // profile, DMG window size".
  static std::string summary(const CLIConfiguration& configuration);
};

} // namespace bosun
