#pragma once

namespace bosun {

// The program's entry: parses the arguments, configures the console, dispatches one command and
// ends the process with its exit code.
struct BosunMain {
  static int main(int argc, char** argv);
};

} // namespace bosun
