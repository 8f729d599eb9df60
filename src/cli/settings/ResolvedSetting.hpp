#pragma once

#include <optional>
#include <string>

#include "cli/settings/SettingDefinition.hpp"

namespace bosun {

// One setting after resolution: its row, its value (trimmed; lower-cased for enumerations; no
// value when unset) and where the value came from: "--flag", "$VARIABLE", the project file's
// name, "user config" or "default".
struct ResolvedSetting {
  SettingDefinition definition;
  std::optional<std::string> value;
  std::string source;
};

} // namespace bosun
