#include "core/Process/ToolProcess.hpp"

#include "core/Process/AppleTools.hpp"

namespace halyard {

ToolProcessResult ToolProcess::run(const std::filesystem::path& executable,
                                   const std::vector<std::string>& arguments, double timeout,
                                   const std::optional<std::string>& standardInput) {
  auto request = AppleTools::request(AppleTools::Runner::shared, executable, arguments, timeout);
  request.standardInput = standardInput;
  return ProcessRunner::run(request);
}

} // namespace halyard
