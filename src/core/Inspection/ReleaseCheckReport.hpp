#pragma once

#include <optional>
#include <string>

#include "core/Inspection/ReleaseCheckResult.hpp"

namespace halyard {

// The release checks of a finished release: the app and the DMG (or PKG), each when checked.
struct ReleaseCheckReport {
  std::optional<ReleaseCheckResult> app;
  std::optional<ReleaseCheckResult> dmg;

  // True when at least one file was checked and every checked file passed. A report of nothing
  // is not a pass: no question was answered.
  bool allPassed() const;

  // "All checks passed" or "Some checks need attention".
  std::string headline() const;
};

} // namespace halyard
