#pragma once

#include <sys/types.h>

#include <csignal>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace halyard {

// The handle of one launched child. Signals are only ever sent while the child has not been
// reaped, so a recycled process number is never hit.
class ChildProcess {
public:
  ChildProcess(pid_t pid, std::filesystem::path executable, std::vector<std::string> arguments);

  pid_t pid() const { return pid_; }
  const std::filesystem::path& executable() const { return executable_; }
  const std::vector<std::string>& arguments() const { return arguments_; }

  // True until the runner has reaped the child.
  bool isRunning() const;

  // Send SIGTERM, SIGINT or SIGKILL when the child is still running; otherwise nothing.
  void terminate() { sendSignal(SIGTERM); }
  void interrupt() { sendSignal(SIGINT); }
  void kill() { sendSignal(SIGKILL); }
  void sendSignal(int signalNumber);

  // Called by the runner, with the child known to have exited, right before it is reaped.
  void markExited();

private:
  pid_t pid_;
  std::filesystem::path executable_;
  std::vector<std::string> arguments_;
  mutable std::mutex lock_;
  bool exited_ = false;
};

} // namespace halyard
