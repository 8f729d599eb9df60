#include "core/Inspection/ReleaseCheckResult.hpp"

namespace halyard {

namespace {
std::string verdict(const char* name, const ReleaseCheckStatus& status) {
  if (status.isPassed()) return std::string(name) + ": passed";
  return std::string(name) + ": failed (" + status.reason().value_or("") + ")";
}
} // namespace

std::string ReleaseCheckResult::logLine() const {
  return fileName + " - " + verdict("Signing", signing) + ", " +
         verdict("Notarization", notarization) + ", " + verdict("Stapling", stapling);
}

} // namespace halyard
