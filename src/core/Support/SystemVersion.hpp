#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// The version of the running operating system, from the system version file (`file`, key
// ProductVersion, mapped through the tool root). Without that file the system is not macOS and
// its version is 0.0.0.
struct SystemVersion {
  // The system's name and version (ProductName, ProductVersion, ProductBuildVersion).
  static constexpr const char* file = "/System/Library/CoreServices/SystemVersion.plist";

  int major = 0;
  int minor = 0;
  int patch = 0;

  // "15.5" gives 15.5.0; missing parts are 0; text that does not start with a number gives 0.0.0.
  static SystemVersion parse(std::string_view text);
  static SystemVersion current();
  // The ProductVersion text as the file has it; none without the file or the key.
  static std::optional<std::string> currentText();

  auto operator<=>(const SystemVersion&) const = default;
};

} // namespace halyard
