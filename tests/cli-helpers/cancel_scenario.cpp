// A command of the front end that is interrupted while it waits for a long tool, for the
// end-to-end cancellation test:
//   cancel_scenario WORKSPACE TOOL_HELPER PIDFILE [stuck]
// It installs the signal handler and the logging hooks as the entry does, registers a clean-up
// that removes WORKSPACE, then runs TOOL_HELPER for a minute. The test sends SIGINT or SIGTERM.
// With "stuck", WORKSPACE is locked as a run's working folder and the clean-up hangs instead.
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "cli/commands/BosunMain.hpp"
#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/console/SignalHandler.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/FolderLock.hpp"

int main(int argc, char** argv) {
  if (argc != 4 && !(argc == 5 && std::string(argv[4]) == "stuck")) return 2;
  const bool stuck = argc == 5;
  auto& handler = bosun::SignalHandler::shared();
  handler.install();
  bosun::BosunMain::installLogging();
  bosun::Console::shared().configure(false, true, false, false);

  const std::filesystem::path workspace = argv[1];
  if (stuck && !halyard::FolderLock::acquire(workspace)) return 2;
  auto cleanup = halyard::CleanupRegistry::shared().add("", [workspace, stuck] {
    if (stuck) std::this_thread::sleep_for(std::chrono::minutes(1));
    std::error_code ignored;
    std::filesystem::remove_all(workspace, ignored);
    return true;
  });
  try {
    halyard::CoreCommand::run(argv[2], {"pidfile", argv[3], "sleep", "60"}, 120);
    cleanup.release();
  } catch (const std::exception& error) {
    handler.waitWhileHandling();
    bosun::Console::shared().failure(bosun::CLIError::from(error, bosun::ExitCode::failure));
    return 1;
  }
  handler.waitWhileHandling();
  return 0;
}
