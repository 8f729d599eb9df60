#pragma once

#include <string>
#include <vector>

#include "cli/ExitCode.hpp"

namespace bosun {

struct ParsedArguments;

// The program's entry: parses the arguments, configures the console, installs the logging hooks,
// dispatches exactly one command and ends the process with its exit code.
struct BosunMain {
  // The process entry; ends the process with exit() and never returns.
  [[noreturn]] static int main(int argc, char** argv);

  // Everything main() does between the arguments and the exit: parse, configure, dispatch, print
  // an escaping error. Returns the code the process ends with.
  static ExitCode run(const std::vector<std::string>& arguments);

  // Runs the one command the arguments ask for. Throws what the command throws.
  static ExitCode dispatch(const ParsedArguments& parsed);

  // Sends the core library's process-launched, note and debug reports to the console as detail
  // lines (shown with --verbose).
  static void installLogging();

  // Whether the console should use colours: not with --no-color, not when NO_COLOR is set (to
  // anything, also empty), else exactly when standard error is a terminal.
  static bool wantsColors(const ParsedArguments& parsed);
};

} // namespace bosun
