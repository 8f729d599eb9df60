#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "cli/release/InstallerWindowPreset.hpp"
#include "cli/release/OutputKind.hpp"
#include "cli/settings/CLIConfiguration.hpp"
#include "cli/settings/Environment.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "cli/settings/ResolvedSetting.hpp"
#include "core/DMG/DMGCompressionFormat.hpp"
#include "core/Notarization/NotaryCredentials.hpp"

namespace bosun {

// Every setting of a run, resolved once. The precedence, first source with a value wins:
//   1. command-line flags (--value-flag VALUE, or --on-flag / --off-flag for booleans)
//   2. environment variables (BOSUN_...), when set and not empty
//   3. the project file, bosun.json (else .bosun.json) in the project folder
//   4. the user config file (ConfigurationStore::userConfigURL)
//   5. the built-in default
// An empty value at some level hides the lower ones and leaves the setting unset.
class ConfigurationResolver {
public:
  // Throws CLIError: `usage` for an on/off pair given together, `configuration` for an unreadable
  // file or an invalid boolean, enumerated or whole-number value. The first error ends the
  // resolution.
  ConfigurationResolver(const ParsedArguments& arguments,
                        const std::optional<std::filesystem::path>& projectFolder);
  ConfigurationResolver(const ParsedArguments& arguments,
                        const std::optional<std::filesystem::path>& projectFolder,
                        const Environment& environment);

  // One setting's value from `source` (a flag, a variable, a file) checked and made canonical:
  // trimmed (blank is unset), a boolean, a whole number in range, an allowed word (lower-cased).
  // Throws CLIError `configuration` naming the setting and the source.
  static ResolvedSetting validated(const SettingDefinition& setting,
                                   std::optional<std::string> value, std::string source);

  // bosun.json, else .bosun.json, in the folder, when one exists.
  static std::optional<std::filesystem::path>
  projectConfigURL(const std::filesystem::path& projectFolder);

  const std::filesystem::path& userConfigURL() const { return userConfigURL_; }
  const std::optional<std::filesystem::path>& projectConfigURL() const { return projectConfigURL_; }
  const std::optional<CLIConfiguration>& userConfiguration() const { return userConfiguration_; }
  bool hasUserConfiguration() const { return userConfiguration_.has_value(); }

  // One entry per row of SettingDefinition::all().
  const std::map<std::string, ResolvedSetting, std::less<>>& settings() const { return settings_; }
  // The resolved setting of a key of the table (throws std::out_of_range for other keys).
  const ResolvedSetting& setting(std::string_view key) const;
  std::optional<std::string> value(std::string_view key) const { return setting(key).value; }

  // The value read as a boolean; false when unset.
  bool boolean(std::string_view key) const;
  // PKG exactly when `format` is "pkg".
  OutputKind format() const;
  // From `window`; compact when unset.
  InstallerWindowPreset windowPreset() const;
  // From `compression` by name; the default format when unset.
  halyard::DMGCompressionFormat compression() const;
  // How many nested items the preparation signs at once; the processor count (at most 8) when
  // unset.
  std::size_t signingJobs() const;

  // From `notaryWait`: the longest wait for the notary service's verdict, in seconds.
  static constexpr double defaultNotaryWait = 900;
  double notaryWait() const;
  // A whole number of seconds from 1 to a week, or none.
  static std::optional<double> seconds(std::string_view text);

  // An API key when both its file and ID are configured (it wins over a keychain profile), else
  // the keychain profile, else none. Throws CLIError `credentials` when the key file does not
  // exist or only one of file and ID is configured.
  std::optional<halyard::NotaryCredentials> credentials() const;

private:
  std::filesystem::path home_;
  std::filesystem::path userConfigURL_;
  std::optional<std::filesystem::path> projectConfigURL_;
  std::optional<CLIConfiguration> userConfiguration_;
  std::map<std::string, ResolvedSetting, std::less<>> settings_;
};

} // namespace bosun
