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
  // The platform path of the tool (for example /usr/bin/codesign). The runner maps it through
  // ToolRoot::path, so callers always pass the real platform path.
  std::filesystem::path executable;
  std::vector<std::string> arguments;

  // Time limit in seconds; none runs without a limit. A negative or NaN limit counts as 0, an
  // infinite one as none.
  std::optional<double> timeout;

  // Standard error into the standard-output pipe (standardError of the result stays empty).
  bool mergeStreams = false;

  // Standard error to the null device instead of a pipe (standardError stays empty).
  bool discardStandardError = false;

  // Written to the child's standard input, which is then closed; without it standard input is
  // the null device. A child that stops reading early does not fail the run.
  std::optional<std::string> standardInput;

  TimeoutEscalation escalation = TimeoutEscalation::terminate;
  double escalationWait = 0.25; // seconds between the escalation steps

  // Deliver the time-out result at once rather than after the child has gone. The child is still
  // signalled (and escalated) and reaped in the background; its later output is discarded.
  bool deliverAtDeadline = false;

  // Keep what standard output delivered before the time-out (else it is empty in the result).
  bool keepOutputOnTimeout = true;

  // Standard error of the time-out result; empty gives "Timed out after N seconds.".
  std::string timeoutMessage;

  // The child uses this process's standard input, output and error instead of the null device and
  // pipes (a tool that talks to the person at the terminal); nothing is captured.
  bool inheritStandardStreams = false;

  // Call the processExited hook of HalyardCoreLog when the child ends.
  bool reportExit = false;

  // Register the child with ProcessRegistry (and so let cancellation stop it). Only the clean-up
  // that runs during a cancellation turns this off, since its tools must not be stopped by it.
  bool track = true;
};

// The configurable runner that every component's tool runs go through. It never throws:
// a launch failure is status -1 with the system's explanation, a time-out status -2 with the
// request's message. Children are registered with ProcessRegistry right after launch.
//
// How it works: posix_spawn with an argument vector (never a shell), every descriptor of ours
// close-on-exec, the child's signal mask emptied and its signal dispositions reset. The calling
// thread drains both pipes in one poll loop, which also watches the deadline and the child's end
// (a pidfd on Linux, a kqueue on macOS; only where neither is available does a small reaper
// thread post the exit to the loop). The child's handle is marked as ended before it is reaped.
// The loop alone decides the result, so exactly one result is delivered even when the exit and
// the deadline coincide (an exit already seen wins). A child whose time-out result was delivered
// early is still reaped in the background, so no zombie is left behind.
//
// When the child has exited but a process it left behind keeps the pipes open, the runner reads
// on until end of file or the deadline, whichever comes first, and then reports the child's own
// status with the output read so far.
//
// Once a cancellation has begun, the clean-up's own tools (the untracked requests) run for at
// most `cancellationLimit` seconds, then are terminated and killed: a tool that hangs, as an
// eject does while something holds the volume, must not keep the process from ending.
struct ProcessRunner {
  static constexpr double cancellationLimit = 4;

  static ToolProcessResult run(const ProcessRunRequest& request);

  // "Timed out after " + the limit in whole seconds (fraction truncated) + " seconds.".
  static std::string timeoutDescription(double seconds);
};

} // namespace halyard
