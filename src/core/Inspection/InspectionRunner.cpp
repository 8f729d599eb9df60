#include "core/Inspection/InspectionRunner.hpp"

#include "core/Process/AppleTools.hpp"

namespace halyard {

ProcessOutcome InspectionRunner::run(const std::filesystem::path& executable,
                                     const std::vector<std::string>& arguments, double timeout,
                                     const std::optional<std::string>& standardInput) {
  // A tool that ignores the termination request must not hold the inspection forever.
  auto request =
      AppleTools::request(AppleTools::Runner::inspection, executable, arguments, timeout);
  request.standardInput = standardInput;
  return ProcessRunner::run(request);
}

InspectionRunner::Function InspectionRunner::standard() {
  return [](const std::filesystem::path& executable, const std::vector<std::string>& arguments,
            double timeout, const std::optional<std::string>& standardInput) {
    return run(executable, arguments, timeout, standardInput);
  };
}

ToolRun InspectionRunner::bound(const Function& run, double timeout) {
  return [&run, timeout](const char* executable, const std::vector<std::string>& arguments) {
    return run(executable, arguments, timeout, std::nullopt);
  };
}

} // namespace halyard
