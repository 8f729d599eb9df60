#include "cli/console/SignalHandler.hpp"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/release/DiskImageCleanup.hpp"
#include "core/DiskImage/ModernDiskImageTool.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/FolderLock.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

sigset_t cancellationSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  // A closed terminal or a dropped remote session: the run is over as surely as on Ctrl-C.
  sigaddset(&signals, SIGHUP);
  return signals;
}

} // namespace

SignalHandler& SignalHandler::shared() {
  static SignalHandler* handler = new SignalHandler(); // never destroyed: its thread lives on
  return *handler;
}

void SignalHandler::install() {
  std::call_once(installed_, [this] {
    const sigset_t signals = cancellationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    signalThread_ = std::thread([this] { receiveSignals(); });
    signalThread_.detach();
  });
}

void SignalHandler::receiveSignals() {
  const sigset_t signals = cancellationSignals();
  bool cleaning = false;
  while (true) {
    int received = 0;
    if (sigwait(&signals, &received) != 0) continue;
    if (received != SIGINT && received != SIGTERM && received != SIGHUP) continue;
    if (cleaning) endUnfinished(Console::shared(), "a second signal came");
    cleaning = true;
    handling_ = true;
    // This thread keeps listening: a second Ctrl-C must end the process at once. Without a
    // thread to spare, the clean-up runs here, unbounded, as the only way left.
    try {
      std::thread([this] {
        std::this_thread::sleep_for(std::chrono::seconds(cleanupBound));
        endUnfinished(Console::shared(),
                      "it took more than " + std::to_string(cleanupBound) + " seconds");
      }).detach();
      std::thread([this] { handle(); }).detach();
    } catch (const std::system_error&) {
      handle();
    }
  }
}

std::vector<std::string> SignalHandler::leftBehind() {
  std::vector<std::string> left = halyard::CleanupRegistry::shared().leftBehind();
  const auto add = [&left](std::string thing) {
    if (std::find(left.begin(), left.end(), thing) == left.end()) left.push_back(std::move(thing));
  };
  for (const auto& folder : halyard::FolderLock::heldByThisProcess()) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(folder, error)))
      add(folder.string());
  }
  for (const auto& attachment : halyard::ModernDiskImageTool::registry().snapshot())
    add(attachment.wholeDisk() + " (" + attachment.mountPoint + ")");
  return left;
}

void SignalHandler::endUnfinished(Console& console, const std::string& reason) {
  ending_.lock(); // never given back: the process ends
  const auto left = leftBehind();
  console.warning("Stopped cleaning up (" + reason + ")" +
                  (left.empty()
                       ? std::string(".")
                       : "; left behind: " +
                             halyard::text::printable(halyard::text::joined(left, ", ")) + "."));
  console.failure(CLIError(ExitCode::cancelled, "Cancelled."));
  halyard::ProcessRegistry::shared().killAll();
  std::_Exit(exitCodeNumber(ExitCode::cancelled));
}

void SignalHandler::runCancellation(Console& console) {
  handling_ = true;
  console.warning("Cancelling…");
  halyard::ProcessRegistry::shared().beginCancelling();
  halyard::CleanupRegistry::shared().undoAll();
  const auto stuck = DiskImageCleanup::detachLeftoversSynchronously();
  // The bound may have ended the process meanwhile; then this thread stops here.
  std::unique_lock ending(ending_);
  for (const auto& target : stuck)
    console.warning("Could not detach " + target + ".");
  console.failure(CLIError(ExitCode::cancelled, "Cancelled."));
  ending.release(); // kept until the process ends
}

void SignalHandler::handle() {
  runCancellation(Console::shared());
  // Tools the interrupted command started in its own unwinding must not outlive it.
  halyard::ProcessRegistry::shared().killAll();
  std::_Exit(exitCodeNumber(ExitCode::cancelled));
}

void SignalHandler::waitWhileHandling() const {
  if (!handling_) return;
  while (true)
    std::this_thread::sleep_for(std::chrono::hours(1));
}

} // namespace bosun
