#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bosun {

// One tunable of a release: its key (also its JSON member in the config files), the label shown
// to people, its environment variable and its command-line flags, its built-in default and, for
// enumerations, the values it accepts. A setting with an on-flag is boolean.
struct SettingDefinition {
  std::string key;
  std::string title;
  std::string environment;
  std::optional<std::string> valueFlag; // --valueFlag VALUE
  std::optional<std::string> onFlag;    // --onFlag means "true"
  std::optional<std::string> offFlag;   // --offFlag means "false"
  std::optional<std::string> defaultValue;
  std::optional<std::vector<std::string>> allowedValues;
  // For counts: the smallest and the largest whole number accepted.
  std::optional<std::pair<int, int>> wholeNumberRange;

  bool isBoolean() const { return onFlag.has_value(); }

  // The largest signingJobs accepted: each job is a thread and a codesign process.
  static constexpr int mostSigningJobs = 64;

  // Every setting, in the order of the configuration help and of doctor's listing.
  static const std::vector<SettingDefinition>& all();

  // The row with this key, or nullptr.
  static const SettingDefinition* find(std::string_view key);
};

} // namespace bosun
