#include "core/Process/ProcessRegistry.hpp"

#include <algorithm>

#include "core/Process/ChildProcess.hpp"
#include "core/Support/CancellationError.hpp"
#include "core/Support/HalyardCoreLog.hpp"

namespace halyard {

ProcessRegistry& ProcessRegistry::shared() {
  static ProcessRegistry registry;
  return registry;
}

void ProcessRegistry::track(const std::shared_ptr<ChildProcess>& process) {
  if (!process) return;
  HalyardCoreLog::launched(*process);
  bool cancelling = false;
  {
    std::lock_guard guard(lock_);
    // Forget the handles whose runners are done with them, so the list stays as short as the
    // number of live children.
    std::erase_if(processes_, [](const auto& entry) { return entry.expired(); });
    processes_.push_back(process);
    cancelling = cancelling_;
  }
  if (cancelling && process->isRunning()) process->terminate();
}

void ProcessRegistry::keepUntilExit(const std::shared_ptr<ChildProcess>& process) {
  if (!process) return;
  std::lock_guard guard(lock_);
  std::erase_if(untracked_, [](const auto& entry) { return entry.expired(); });
  untracked_.push_back(process);
}

void ProcessRegistry::killAll() {
  std::vector<std::shared_ptr<ChildProcess>> snapshot;
  {
    std::lock_guard guard(lock_);
    snapshot = liveLocked();
    for (const auto& entry : untracked_) {
      if (auto process = entry.lock()) snapshot.push_back(std::move(process));
    }
  }
  for (const auto& process : snapshot) {
    if (process->isRunning()) process->kill();
  }
}

void ProcessRegistry::beginCancelling() {
  std::vector<std::shared_ptr<ChildProcess>> snapshot;
  {
    std::lock_guard guard(lock_);
    cancelling_ = true;
    snapshot = liveLocked();
  }
  // terminate() does nothing for a child that has already ended.
  for (const auto& process : snapshot)
    process->terminate();
}

void ProcessRegistry::endCancelling() {
  std::lock_guard guard(lock_);
  cancelling_ = false;
}

bool ProcessRegistry::isCancelling() const {
  std::lock_guard guard(lock_);
  return cancelling_;
}

void ProcessRegistry::stopIfCancelling() const {
  if (isCancelling()) throw CancellationError();
}

std::vector<std::shared_ptr<ChildProcess>> ProcessRegistry::runningProcesses() const {
  std::vector<std::shared_ptr<ChildProcess>> live;
  {
    std::lock_guard guard(lock_);
    live = liveLocked();
  }
  // Asked outside the registry lock: no other lock is taken while it is held.
  std::erase_if(live, [](const auto& process) { return !process->isRunning(); });
  return live;
}

std::vector<std::shared_ptr<ChildProcess>> ProcessRegistry::liveLocked() const {
  std::vector<std::shared_ptr<ChildProcess>> live;
  for (const auto& entry : processes_) {
    if (auto process = entry.lock()) live.push_back(std::move(process));
  }
  return live;
}

} // namespace halyard
