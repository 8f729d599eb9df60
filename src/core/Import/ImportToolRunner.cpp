#include "core/Import/ImportToolRunner.hpp"

#include <cmath>

#include "core/Process/ProcessRunner.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

ToolProcessResult ImportToolRunner::run(const std::filesystem::path& executable,
                                        const std::vector<std::string>& arguments) const {
  const std::string commandLine = executable.string() + " " + text::joined(arguments, " ");
  HalyardCoreLog::debugMessage("Running process: " + commandLine);
  ProcessRunRequest request;
  request.executable = executable;
  request.arguments = arguments;
  request.timeout = timeout;
  request.escalation = TimeoutEscalation::terminateInterruptThenKill;
  request.escalationWait = 0.25;
  request.keepOutputOnTimeout = false;
  request.timeoutMessage = "The " + step + " step timed out after " +
                           std::to_string(static_cast<long long>(std::floor(timeout))) +
                           " seconds while running: " + commandLine;
  auto result = ProcessRunner::run(request);
  if (result.status == ToolProcessResult::timedOutStatus)
    HalyardCoreLog::debugMessage("Process timed out: " + commandLine);
  else
    HalyardCoreLog::debugMessage("Process finished: " + executable.string() +
                                 " status=" + std::to_string(result.status));
  return result;
}

} // namespace halyard
