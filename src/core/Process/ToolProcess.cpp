#include "core/Process/ToolProcess.hpp"

#include "core/Process/AppleTools.hpp"

namespace halyard {

ToolProcessResult ToolProcess::run(const std::filesystem::path& executable,
                                   const std::vector<std::string>& arguments, double timeout) {
  return ProcessRunner::run(
      AppleTools::request(AppleTools::Runner::shared, executable, arguments, timeout));
}

} // namespace halyard
