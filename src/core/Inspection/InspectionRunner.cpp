#include "core/Inspection/InspectionRunner.hpp"

#include <cmath>

#include "core/Process/ProcessRunner.hpp"

namespace halyard {

ProcessOutcome InspectionRunner::run(const std::filesystem::path& executable,
                                     const std::vector<std::string>& arguments, double timeout,
                                     const std::optional<std::string>& standardInput) {
  ProcessRunRequest request;
  request.executable = executable;
  request.arguments = arguments;
  request.timeout = timeout;
  request.standardInput = standardInput;
  // A tool that ignores the termination request must not hold the inspection forever.
  request.escalation = TimeoutEscalation::terminateThenKill;
  request.keepOutputOnTimeout = true;
  request.timeoutMessage = "Timed out after " +
                           std::to_string(static_cast<long long>(std::floor(timeout))) +
                           " seconds.";
  request.reportExit = true;
  return ProcessRunner::run(request);
}

InspectionRunner::Function InspectionRunner::standard() {
  return [](const std::filesystem::path& executable, const std::vector<std::string>& arguments,
            double timeout, const std::optional<std::string>& standardInput) {
    return run(executable, arguments, timeout, standardInput);
  };
}

} // namespace halyard
