#include "core/Process/ChildProcess.hpp"

#include <signal.h>

#include <utility>

namespace halyard {

ChildProcess::ChildProcess(pid_t pid, std::filesystem::path executable,
                           std::vector<std::string> arguments)
    : pid_(pid), executable_(std::move(executable)), arguments_(std::move(arguments)) {}

std::string ChildProcess::commandLine() const {
  std::string line = executable_.string();
  for (const auto& argument : arguments_) {
    line += ' ';
    line += argument;
  }
  return line;
}

bool ChildProcess::isRunning() const {
  std::lock_guard guard(lock_);
  return !exited_;
}

void ChildProcess::sendSignal(int signalNumber) {
  // Holding the lock keeps markExited() (and so the reaping) from happening while the signal is
  // on its way.
  std::lock_guard guard(lock_);
  if (!exited_ && pid_ > 0) ::kill(pid_, signalNumber);
}

void ChildProcess::markExited() {
  std::lock_guard guard(lock_);
  exited_ = true;
}

} // namespace halyard
