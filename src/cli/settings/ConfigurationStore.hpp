#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "cli/settings/CLIConfiguration.hpp"
#include "cli/settings/Environment.hpp"

namespace bosun {

// Finds, reads and writes the configuration files. The user file lives at
// $XDG_CONFIG_HOME/bosun/config.json, else ~/.config/bosun/config.json, unless --config names
// another file.
struct ConfigurationStore {
  static constexpr const char* unreadableHint =
      "Fix the JSON or remove the file and run `bosun setup` again.";

  // `override` is the value of --config: when present and not empty its leading "~" is expanded
  // and the result is the file. Otherwise the default location for the environment.
  static std::filesystem::path userConfigURL(const std::optional<std::string>& override,
                                             const Environment& environment);
  static std::filesystem::path userConfigURL(const std::optional<std::string>& override);

  // The configuration in `file`, or no value when nothing exists there. A file that exists but
  // cannot be read (a folder, a device, no permission, too large) or does not decode throws
  // CLIError `configuration`: PATH + " could not be read: " + the reason, with unreadableHint.
  static std::optional<CLIConfiguration> load(const std::filesystem::path& file);

  // Creates the missing folders and replaces the file atomically with the encoded configuration,
  // mode 0600. A failure leaves any previous file as it was and throws CLIError `configuration`:
  // "Could not save " + PATH + ": " + the reason.
  static void save(const CLIConfiguration& configuration, const std::filesystem::path& file);
};

} // namespace bosun
