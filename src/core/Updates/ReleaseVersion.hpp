#pragma once

#include <optional>
#include <string>

namespace halyard {

// Release version numbers such as "1.10.2", compared piece by piece.
struct ReleaseVersion {
  // Whether `candidate` is newer than `current`. No candidate: false; no current: true.
  // Otherwise both are read as Version::lenient reads them, so 1.10 is newer than 1.9, and 1.0
  // is not newer than 1.
  static bool isNewer(const std::optional<std::string>& candidate,
                      const std::optional<std::string>& current);
};

} // namespace halyard
