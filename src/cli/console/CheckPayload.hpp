#pragma once

#include <nlohmann/json.hpp>

#include "core/Inspection/ReleaseCheckResult.hpp"

namespace bosun {

// One release-check status as JSON: "passed", or {"failed": reason}.
nlohmann::json statusPayload(const halyard::ReleaseCheckStatus& status);

// The release checks of one file as the JSON object that `start`, `notarize` and `verify` put in
// their summaries: "file" (the file name), "signing", "notarization", "stapling".
nlohmann::json checkPayload(const halyard::ReleaseCheckResult& result);

} // namespace bosun
