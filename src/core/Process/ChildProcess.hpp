#pragma once

#include <sys/types.h>

#include <csignal>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace halyard {

// The handle of one launched child. Signals are only ever sent while the child has not been
// reaped, so a recycled process number is never hit: the runner first learns that the child has
// ended (without reaping it), calls markExited(), and only then reaps it. A signal sent between
// the end and markExited() reaches the zombie, which is harmless.
class ChildProcess {
public:
  // `executable` is the path actually launched (after the tool-root mapping).
  ChildProcess(pid_t pid, std::filesystem::path executable, std::vector<std::string> arguments);

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  const std::filesystem::path& executable() const { return executable_; }
  const std::vector<std::string>& arguments() const { return arguments_; }

  // The executable and the arguments joined by single spaces, as the verbose log shows them.
  std::string commandLine() const;

  // True until the runner has seen the child end.
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
