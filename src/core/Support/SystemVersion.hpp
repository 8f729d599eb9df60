#pragma once

#include <optional>
#include <string>

#include "core/Support/Version.hpp"

namespace halyard {

// The version of the running operating system, from the system version file (`file`, key
// ProductVersion, mapped through the tool root). Without that file the system is not macOS and
// its version is 0.
struct SystemVersion {
  // The system's name and version (ProductName, ProductVersion, ProductBuildVersion).
  static constexpr const char* file = "/System/Library/CoreServices/SystemVersion.plist";

  // ProductVersion's leading numbers.
  static Version current();
  // The ProductVersion text as the file has it; none without the file or the key.
  static std::optional<std::string> currentText();
};

} // namespace halyard
