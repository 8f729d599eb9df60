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

  // Marks the process as cancelling and asks every running child to terminate.
  void beginCancelling();
  void endCancelling();
  bool isCancelling() const;

  // The registered children that are still running.
  std::vector<std::shared_ptr<ChildProcess>> runningProcesses() const;

private:
  // The handles still referred to by someone; the caller holds lock_.
  std::vector<std::shared_ptr<ChildProcess>> liveLocked() const;

  mutable std::mutex lock_;
  std::vector<std::weak_ptr<ChildProcess>> processes_;
  bool cancelling_ = false;
};

} // namespace halyard
