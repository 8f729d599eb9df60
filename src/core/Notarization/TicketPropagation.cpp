#include "core/Notarization/TicketPropagation.hpp"

#include <chrono>
#include <cmath>
#include <thread>

#include "core/Process/ProcessRegistry.hpp"

namespace halyard {

namespace {

std::string secondsText(double seconds) {
  const auto whole = static_cast<long long>(std::ceil(seconds));
  return std::to_string(whole) + (whole == 1 ? " second" : " seconds");
}

} // namespace

Stapler::Stapling TicketPropagation::stapleAfterAcceptance(const std::filesystem::path& file,
                                                           const ToolRun& run,
                                                           const Progress& progress) const {
  Stapler::Stapling result = Stapler::staple(file, run);
  for (size_t retry = 0; retry < waits.size(); ++retry) {
    if (result.stapled() || result.run.status == ToolProcessResult::timedOutStatus ||
        !result.recordNotFound() || ProcessRegistry::shared().isCancelling())
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
    result = Stapler::staple(file, run);
  }
  return result;
}

} // namespace halyard
