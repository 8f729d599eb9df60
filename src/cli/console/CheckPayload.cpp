#include "cli/console/CheckPayload.hpp"

namespace bosun {

nlohmann::json statusPayload(const halyard::ReleaseCheckStatus& status) {
  if (status.isPassed()) return "passed";
  return nlohmann::json{{"failed", status.reason().value_or("")}};
}

nlohmann::json checkPayload(const halyard::ReleaseCheckResult& result) {
  return nlohmann::json{{"file", result.fileName},
                        {"signing", statusPayload(result.signing)},
                        {"notarization", statusPayload(result.notarization)},
                        {"stapling", statusPayload(result.stapling)}};
}

} // namespace bosun
