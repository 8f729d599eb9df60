// A command of the front end that is interrupted while it waits for a long tool, for the
// end-to-end cancellation test:
//   cancel_scenario WORKSPACE TOOL_HELPER PIDFILE
// It installs the signal handler and the logging hooks as the entry does, registers a clean-up
// that removes WORKSPACE, then runs TOOL_HELPER for a minute. The test sends SIGINT or SIGTERM.
#include <filesystem>
#include <system_error>

#include "cli/BosunMain.hpp"
#include "cli/CLIError.hpp"
#include "cli/Console.hpp"
#include "cli/SignalHandler.hpp"
#include "core/Process/CoreCommand.hpp"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  auto& handler = bosun::SignalHandler::shared();
  handler.install();
  bosun::BosunMain::installLogging();
  bosun::Console::shared().configure(false, true, false, false);

  const std::filesystem::path workspace = argv[1];
  const auto cleanup = handler.addCleanup([workspace] {
    std::error_code ignored;
    std::filesystem::remove_all(workspace, ignored);
  });
  try {
    halyard::CoreCommand::run(argv[2], {"pidfile", argv[3], "sleep", "60"}, 120);
    handler.removeCleanup(cleanup);
  } catch (const std::exception& error) {
    handler.waitWhileHandling();
    bosun::Console::shared().failure(bosun::CLIError::from(error, bosun::ExitCode::failure));
    return 1;
  }
  handler.waitWhileHandling();
  return 0;
}
