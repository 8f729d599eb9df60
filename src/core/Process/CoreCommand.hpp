#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Process/ToolProcessResult.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// Errors of the throwing layer over tool runs: domain "Halyard.process", the tool's status as
// code (-1 when it could not start, -2 when its time limit ran out).
class CoreCommandError : public Error {
public:
  static constexpr const char* domainName = "Halyard.process";
  static constexpr int timeoutCode = -2;

  CoreCommandError(int code, const std::string& description)
      : Error(domainName, code, description) {}
};

struct CoreCommand {
  // Runs the tool; throws CoreCommandError unless it exits 0.
  static void run(const std::filesystem::path& executable,
                  const std::vector<std::string>& arguments, double timeout,
                  const std::optional<std::string>& timeoutMessage = std::nullopt);

  // The combined output on success (trimmed standard output, "\n", trimmed standard error).
  static std::string capture(const std::filesystem::path& executable,
                             const std::vector<std::string>& arguments, double timeout,
                             const std::optional<std::string>& timeoutMessage = std::nullopt);

  // The combined output of a finished run when it exited 0; otherwise the error `capture` throws.
  static std::string checked(const ToolProcessResult& result,
                             const std::optional<std::string>& timeoutMessage = std::nullopt);

  // The untrimmed standard output bytes on success; `standardInput` is written to the tool.
  static std::string captureData(const std::filesystem::path& executable,
                                 const std::vector<std::string>& arguments, double timeout,
                                 const std::optional<std::string>& standardInput = std::nullopt);

  // How run and capture describe a run that did not exit 0: at the time limit `timeoutMessage`
  // or "The process took too long and was stopped."; otherwise the trimmed standard error, else
  // the trimmed standard output, else "Process failed with status N.".
  static std::string
  failureDescription(const ToolProcessResult& result,
                     const std::optional<std::string>& timeoutMessage = std::nullopt);
};

} // namespace halyard
