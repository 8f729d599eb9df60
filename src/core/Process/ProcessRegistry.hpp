#pragma once

#include <memory>
#include <mutex>
#include <vector>

namespace halyard {

class ChildProcess;

// The process-wide, weak registry of live children and the cancelling flag. Every runner calls
// track() right after a successful launch; cancellation calls beginCancelling() once. Handles are
// held weakly: a child leaves the registry once its runner has reaped it and let go of it.
// The lock is held only to change the list or the flag; signals are sent after it is released.
class ProcessRegistry {
public:
  static ProcessRegistry& shared();

  // Calls the processLaunched hook, registers the child, and terminates it at once when a
  // cancellation has begun.
  void track(const std::shared_ptr<ChildProcess>& process);

  // Registers a child that cancellation leaves alone (one of the clean-up's own tools), only so
  // that it does not outlive the process: see killAll().
  void keepUntilExit(const std::shared_ptr<ChildProcess>& process);

  // Kills every child still running, registered either way: for the moment before the process
  // ends at a signal, so that no tool goes on without it.
  void killAll();

  // Marks the process as cancelling and asks every running child to terminate.
  void beginCancelling();
  void endCancelling();
  bool isCancelling() const;
  // Throws CancellationError once a cancellation has begun: for work between its tools' runs.
  void stopIfCancelling() const;

  // The registered children that are still running.
  std::vector<std::shared_ptr<ChildProcess>> runningProcesses() const;

private:
  // The handles still referred to by someone; the caller holds lock_.
  std::vector<std::shared_ptr<ChildProcess>> liveLocked() const;

  mutable std::mutex lock_;
  std::vector<std::weak_ptr<ChildProcess>> processes_;
  std::vector<std::weak_ptr<ChildProcess>> untracked_;
  bool cancelling_ = false;
};

} // namespace halyard
