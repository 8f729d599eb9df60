#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bosun {

class Console;

// Turns SIGINT, SIGTERM and SIGHUP into an orderly stop: every running child tool is terminated,
// everything in the clean-up registry is undone, leftover disk images are detached, "Cancelled." is
// printed and the process ends with exit status 130.
//
// The stop always ends: the clean-up runs on a thread of its own, and when it has not finished
// after `cleanupBound` seconds, or a second signal comes, the process ends at once, after a
// warning naming what is still there (the working folders this process holds and the images it
// attached).
//
// The signals are received on a dedicated thread: install() blocks them in the calling thread
// (and so in every thread started after it, which inherit the mask), which keeps their default
// action (ending the process at once) from ever applying, and the thread takes them with
// sigwait(). The handler therefore runs as ordinary code, concurrently with the command.
// Children do not inherit the blocked mask: the process runner resets it for them.
class SignalHandler {
public:
  // Seconds the clean-up may take once a signal has come.
  static constexpr int cleanupBound = 15;

  static SignalHandler& shared();

  SignalHandler() = default;
  SignalHandler(const SignalHandler&) = delete;
  SignalHandler& operator=(const SignalHandler&) = delete;

  // Called once by the entry before any other thread exists; later calls do nothing. Also
  // ignores SIGPIPE, so that writing to a closed output or pipe fails with EPIPE instead of
  // ending the process.
  void install();

  // The response to a signal: runCancellation() on the shared console, then the end of the
  // process with exit status 130 (no exit handlers or static destructors run: the command is
  // still running on other threads).
  [[noreturn]] void handle();

  // True once a signal is being handled.
  bool isHandling() const { return handling_.load(); }

  // Ends the process now with exit status 130, after the warning that names what the clean-up
  // left ("Stopped cleaning up (REASON); left behind: …") and "Cancelled.". Only the first of
  // the threads that end the process prints.
  [[noreturn]] void endUnfinished(Console& console, const std::string& reason);

  // What an interrupted clean-up would leave: what the clean-up registry still holds, the
  // working folders this process holds that still exist, and the images it attached, one entry
  // each.
  static std::vector<std::string> leftBehind();

  // For the entry: when a signal is being handled, waits for the handler to end the process
  // (a command interrupted by the cancellation must neither print its own failure nor exit
  // before the clean-up has run); otherwise returns at once.
  void waitWhileHandling() const;

private:
  void receiveSignals();
  // Everything handle() does before the process ends: the warning "Cancelling…", the process
  // registry's cancellation, the clean-up registry's undoing (failures left registered), the
  // detaching of leftover images and the failure "Cancelled.". No other thread may print after
  // it: the caller ends the process next.
  void runCancellation(Console& console);

  std::once_flag installed_;
  std::thread signalThread_;
  std::atomic<bool> handling_{false};
  // Taken by the thread that ends the process, and never given back.
  std::mutex ending_;
};

} // namespace bosun
