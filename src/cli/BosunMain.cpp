#include "cli/BosunMain.hpp"

#include <cstdio>

#include "BosunVersion.hpp"
#include "cli/Console.hpp"
#include "cli/SignalHandler.hpp"
#include "core/Process/ChildProcess.hpp"
#include "core/Support/HalyardCoreLog.hpp"

namespace bosun {

void BosunMain::installLogging() {
  halyard::HalyardCoreLog::processLaunched = [](const halyard::ChildProcess& process) {
    Console::shared().detail("$ " + process.commandLine());
  };
  halyard::HalyardCoreLog::note = [](const std::string& message) {
    Console::shared().detail(message);
  };
  halyard::HalyardCoreLog::debug = [](const std::string& message) {
    Console::shared().detail(message);
  };
}

int BosunMain::main(int, char**) {
  SignalHandler::shared().install();
  installLogging();
  std::printf("Bosun %s\n", kProjectVersion);
  // A command stopped by Ctrl-C or SIGTERM leaves the ending of the process to the handler.
  SignalHandler::shared().waitWhileHandling();
  return 0;
}

} // namespace bosun
