#include "cli/SignalHandler.hpp"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "cli/CLIError.hpp"
#include "cli/Console.hpp"
#include "cli/DiskImageCleanup.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/UUID.hpp"

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
  while (true) {
    int received = 0;
    if (sigwait(&signals, &received) != 0) continue;
    if (received == SIGINT || received == SIGTERM || received == SIGHUP) handle();
  }
}

std::string SignalHandler::addCleanup(Cleanup action) {
  auto identifier = halyard::UUID::randomString();
  std::lock_guard guard(lock_);
  cleanups_.emplace(identifier, std::move(action));
  return identifier;
}

void SignalHandler::removeCleanup(const std::string& identifier) {
  std::lock_guard guard(lock_);
  cleanups_.erase(identifier);
}

void SignalHandler::runCancellation(Console& console) {
  handling_ = true;
  console.warning("Cancelling…");
  halyard::ProcessRegistry::shared().beginCancelling();
  std::unordered_map<std::string, Cleanup> taken;
  {
    std::lock_guard guard(lock_);
    taken.swap(cleanups_);
  }
  for (auto& [identifier, action] : taken) {
    try {
      if (action) action();
    } catch (...) {
      // The process is ending; a failed clean-up changes nothing about that.
    }
  }
  for (const auto& target : DiskImageCleanup::detachLeftoversSynchronously())
    console.warning("Could not detach " + target + ".");
  console.failure(CLIError(ExitCode::cancelled, "Cancelled."));
}

void SignalHandler::handle() {
  runCancellation(Console::shared());
  std::_Exit(exitCodeNumber(ExitCode::cancelled));
}

void SignalHandler::waitWhileHandling() const {
  if (!handling_) return;
  while (true)
    std::this_thread::sleep_for(std::chrono::hours(1));
}

} // namespace bosun
