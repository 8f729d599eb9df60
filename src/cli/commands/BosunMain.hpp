#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/console/ExitCode.hpp"

namespace bosun {

struct ParsedArguments;

// One command of the program: its word, how its arguments read in the help listing, its one-line
// summary and what runs it.
struct CommandEntry {
  std::string_view name;
  std::string_view synopsis;
  std::string_view summary;
  ExitCode (*run)(const ParsedArguments& parsed);
};

// The program's entry: parses the arguments, configures the console, installs the logging hooks,
// dispatches exactly one command and ends the process with its exit code.
struct BosunMain {
  // The process entry; ends the process with exit() and never returns.
  [[noreturn]] static int main(int argc, char** argv);

  // Everything main() does between the arguments and the exit: parse, configure, dispatch, print
  // an escaping error. Returns the code the process ends with.
  static ExitCode run(const std::vector<std::string>& arguments);

  // Every command, in the order the help lists them. Adding a command is one line in this table.
  static std::span<const CommandEntry> commands();

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
