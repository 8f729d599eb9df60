#pragma once

#include <optional>
#include <string>

namespace halyard {

// Release version numbers such as "1.10.2", compared piece by piece.
struct ReleaseVersion {
  // Whether `candidate` is newer than `current`. No candidate: false; no current: true.
  // Otherwise both are split at "." (empty pieces dropped), each piece read as a base-10 number
  // (anything else counts as 0), missing positions count as 0, and the first difference decides.
  // So 1.10 is newer than 1.9, and 1.0 is not newer than 1.
  static bool isNewer(const std::optional<std::string>& candidate,
                      const std::optional<std::string>& current);
};

} // namespace halyard
