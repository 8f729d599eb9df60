#include "core/Notarization/TicketPropagation.hpp"

#include <chrono>
#include <cmath>
#include <thread>

#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

std::string secondsText(double seconds) {
  const auto whole = static_cast<long long>(std::ceil(seconds));
  return std::to_string(whole) + (whole == 1 ? " second" : " seconds");
}

} // namespace

bool TicketPropagation::isRecordNotFound(std::string_view output) {
  return text::lowercasedASCII(output).find("record not found") != std::string::npos;
}

ToolProcessResult
TicketPropagation::stapleAfterAcceptance(const std::function<ToolProcessResult()>& attempt,
                                         const Progress& progress) const {
  ToolProcessResult result = attempt();
  for (size_t retry = 0; retry < waits.size(); ++retry) {
    if (result.status == 0 || result.status == ToolProcessResult::timedOutStatus ||
        !isRecordNotFound(result.standardOutput + "\n" + result.standardError) ||
        ProcessRegistry::shared().isCancelling())
      break;
    if (progress) {
      progress("Apple's ticket is not available yet; stapling again in " +
               secondsText(waits[retry]) + " (retry " + std::to_string(retry + 1) + " of " +
               std::to_string(waits.size()) + ")…");
    }
    if (sleep)
      sleep(waits[retry]);
    else
      std::this_thread::sleep_for(std::chrono::duration<double>(waits[retry]));
    result = attempt();
  }
  return result;
}

} // namespace halyard
