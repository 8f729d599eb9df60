#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// How a runner stops a child whose time limit ran out.
enum class TimeoutEscalation {
  terminate,                  // SIGTERM only
  terminateThenKill,          // SIGTERM, wait, SIGKILL if still running
  terminateInterruptThenKill, // SIGTERM, wait, SIGINT, wait, SIGKILL if still running
};

// One run of a child process, with the small differences between the components' runners
// expressed as parameters rather than copies of the runner.
struct ProcessRunRequest {
  // The platform path of the tool (for example /usr/bin/codesign); mapped through ToolRoot.
  std::filesystem::path executable;
  std::vector<std::string> arguments;

  // Time limit in seconds; none runs without a limit.
  std::optional<double> timeout;

  // Standard error into the standard-output pipe (standardError of the result stays empty).
  bool mergeStreams = false;

  // Written as UTF-8 to the child's standard input, which is then closed; without it standard
  // input is the null device.
  std::optional<std::string> standardInput;

  TimeoutEscalation escalation = TimeoutEscalation::terminate;
  double escalationWait = 0.25; // seconds between the escalation steps

  // Deliver the time-out result at once rather than after the child has gone.
  bool deliverAtDeadline = false;

  // Keep what standard output delivered before the time-out (else it is empty in the result).
  bool keepOutputOnTimeout = true;

  // Standard error of the time-out result.
  std::string timeoutMessage;

  // Call the processExited hook of HalyardCoreLog when the child ends.
  bool reportExit = false;
};

// The configurable runner that every component's tool runs go through. It never throws:
// a launch failure is status -1 with the system's explanation, a time-out status -2 with the
// request's message. Children are registered with ProcessRegistry right after launch.
struct ProcessRunner {
  static ToolProcessResult run(const ProcessRunRequest& request);
};

} // namespace halyard
