#include "core/Process/CoreCommand.hpp"

#include "core/Process/ToolProcess.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

std::string failedWithStatus(int status) {
  return "Process failed with status " + std::to_string(status) + ".";
}

} // namespace

void CoreCommand::run(const std::filesystem::path& executable,
                      const std::vector<std::string>& arguments, double timeout,
                      const std::optional<std::string>& timeoutMessage) {
  capture(executable, arguments, timeout, timeoutMessage);
}

std::string CoreCommand::capture(const std::filesystem::path& executable,
                                 const std::vector<std::string>& arguments, double timeout,
                                 const std::optional<std::string>& timeoutMessage) {
  return checked(ToolProcess::run(executable, arguments, timeout), timeoutMessage);
}

std::string CoreCommand::checked(const ToolProcessResult& result,
                                 const std::optional<std::string>& timeoutMessage) {
  if (result.succeeded()) return result.combined();
  throw CoreCommandError(result.status, failureDescription(result, timeoutMessage));
}

std::string CoreCommand::failureDescription(const ToolProcessResult& result,
                                            const std::optional<std::string>& timeoutMessage) {
  if (result.status == ToolProcessResult::timedOutStatus)
    return timeoutMessage.value_or("The process took too long and was stopped.");
  auto description = text::trimmed(result.standardError);
  if (description.empty()) description = text::trimmed(result.standardOutput);
  if (description.empty()) description = failedWithStatus(result.status);
  return description;
}

std::string CoreCommand::captureData(const std::filesystem::path& executable,
                                     const std::vector<std::string>& arguments, double timeout,
                                     const std::optional<std::string>& standardInput) {
  auto result = ToolProcess::run(executable, arguments, timeout, standardInput);
  if (result.succeeded()) return std::move(result.standardOutput);
  auto description = result.combined();
  if (description.empty()) description = failedWithStatus(result.status);
  throw CoreCommandError(result.status, description);
}

} // namespace halyard
