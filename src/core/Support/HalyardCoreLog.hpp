#pragma once

#include <functional>
#include <string>

namespace halyard {

class ChildProcess;

// Process-wide hooks through which the core library reports without printing itself. All are
// unset by default; the host program installs them once at start, before any concurrent use.
struct HalyardCoreLog {
  using ProcessHook = std::function<void(const ChildProcess&)>;
  using MessageHook = std::function<void(const std::string&)>;

  static ProcessHook processLaunched;
  static ProcessHook processExited;
  static MessageHook note;
  static MessageHook debug;
  // Whether the debug hook's messages are read right now (for example only with --verbose);
  // unset means they always are.
  static std::function<bool()> debugEnabled;

  // Call the hook when it is set; an unset hook costs nothing.
  static void launched(const ChildProcess& process) {
    if (processLaunched) processLaunched(process);
  }
  static void exited(const ChildProcess& process) {
    if (processExited) processExited(process);
  }
  static void noteMessage(const std::string& message) {
    if (note) note(message);
  }
  static void debugMessage(const std::string& message) {
    if (wantsDebug()) debug(message);
  }
  // Whether a debug message would be read. Work done only for a debug message (building a long
  // text, running a tool for it) is skipped when this is false.
  static bool wantsDebug() { return debug && (!debugEnabled || debugEnabled()); }
};

} // namespace halyard
