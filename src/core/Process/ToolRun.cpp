#include "core/Process/ToolRun.hpp"

namespace halyard {

ToolRun::ToolRun(AppleTools::Runner runner, double timeout)
    : function_(
          [runner, timeout](const char* executable, const std::vector<std::string>& arguments) {
            return ProcessRunner::run(AppleTools::request(runner, executable, arguments, timeout));
          }) {}

} // namespace halyard
