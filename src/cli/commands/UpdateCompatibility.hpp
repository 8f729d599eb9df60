#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Updates/BosunRelease.hpp"

namespace bosun {

// Whether this Mac can run a release: its processor and its system version.
struct UpdateCompatibility {
  // ProductVersion of the system version file (through the tool root), "0.0.0" without one.
  static std::string systemVersion();

  // True for no list, an empty list or "universal"; else "arm64" on Apple silicon or "x86_64"
  // on any other Mac.
  static bool meetsArchitecture(const std::optional<std::vector<std::string>>& architectures,
                                bool appleSilicon);
  // True without a minimum, else when `running` is at least `minimum` (major, minor, patch in
  // order, missing parts 0).
  static bool meetsSystem(const std::optional<std::string>& minimum, const std::string& running);

  // Why the release is not offered on this Mac, or no value when it is.
  static std::optional<std::string> blockedMessage(const halyard::BosunRelease& release,
                                                   const std::string& runningSystem,
                                                   bool appleSilicon);
};

} // namespace bosun
