#pragma once

namespace bosun {

// The program's entry: parses the arguments, configures the console, dispatches one command and
// ends the process with its exit code.
struct BosunMain {
  static int main(int argc, char** argv);

  // Installs the processLaunched, note and debug hooks of HalyardCoreLog: each prints a detail
  // line (shown with --verbose), "$ " and the command line for a launched tool.
  static void installLogging();
};

} // namespace bosun
