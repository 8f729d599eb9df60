#pragma once

#include <string>

#include "core/Inspection/ReleaseCheckStatus.hpp"

namespace halyard {

// The three release-check answers for one file.
struct ReleaseCheckResult {
  std::string fileName; // the checked file's last path component
  ReleaseCheckStatus signing = ReleaseCheckStatus::passed();
  ReleaseCheckStatus notarization = ReleaseCheckStatus::passed();
  ReleaseCheckStatus stapling = ReleaseCheckStatus::passed();

  bool allPassed() const {
    return signing.isPassed() && notarization.isPassed() && stapling.isPassed();
  }

  // "<file> - Signing: passed, Notarization: failed (<reason>), Stapling: passed".
  std::string logLine() const;

  bool operator==(const ReleaseCheckResult&) const = default;
};

} // namespace halyard
