#pragma once

#include <memory>
#include <mutex>
#include <vector>

namespace halyard {

class ChildProcess;

// The process-wide, weak registry of live children and the cancelling flag. Every runner calls
// track() right after a successful launch; cancellation calls beginCancelling() once.
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

private:
  mutable std::mutex lock_;
  std::vector<std::weak_ptr<ChildProcess>> processes_;
  bool cancelling_ = false;
};

} // namespace halyard
