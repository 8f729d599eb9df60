#include "core/Process/ToolProcess.hpp"

#include "core/Process/ProcessRunner.hpp"

namespace halyard {

ToolProcessResult ToolProcess::run(const std::filesystem::path& executable,
                                   const std::vector<std::string>& arguments, double timeout) {
  ProcessRunRequest request;
  request.executable = executable;
  request.arguments = arguments;
  request.timeout = timeout;
  request.escalation = TimeoutEscalation::terminate;
  request.deliverAtDeadline = true;
  request.keepOutputOnTimeout = true;
  request.timeoutMessage = ProcessRunner::timeoutDescription(timeout);
  request.reportExit = true;
  return ProcessRunner::run(request);
}

} // namespace halyard
