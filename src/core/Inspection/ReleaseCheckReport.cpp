#include "core/Inspection/ReleaseCheckReport.hpp"

namespace halyard {

bool ReleaseCheckReport::allPassed() const {
  if (!app && !dmg) return false;
  return (!app || app->allPassed()) && (!dmg || dmg->allPassed());
}

std::string ReleaseCheckReport::headline() const {
  return allPassed() ? "All checks passed" : "Some checks need attention";
}

} // namespace halyard
