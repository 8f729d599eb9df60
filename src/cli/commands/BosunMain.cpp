#include "cli/commands/BosunMain.hpp"

#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "cli/commands/DoctorCommand.hpp"
#include "cli/commands/HelpCommand.hpp"
#include "cli/commands/InspectCommand.hpp"
#include "cli/commands/NotarizeCommand.hpp"
#include "cli/commands/SetupCommand.hpp"
#include "cli/commands/StartCommand.hpp"
#include "cli/commands/UpdateCommand.hpp"
#include "cli/commands/UpdateNotice.hpp"
#include "cli/commands/VerifyCommand.hpp"
#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/console/SignalHandler.hpp"
#include "cli/release/DiskImageCleanup.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "core/Process/ChildProcess.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

using halyard::text::lowercasedASCII;

void printVersion() {
  Console::shared().result("Bosun " + HelpCommand::version());
}

ExitCode help(const ParsedArguments& parsed) {
  return HelpCommand::run(parsed.firstPositional());
}

// clang-format off
constexpr CommandEntry commandTable[] = {
    {"start", "start [folder]", "Build, sign, notarize and staple the app in a folder (default: current folder)", StartCommand::run},
    {"notarize", "notarize <file>", "Sign, notarize and staple an existing .dmg or .pkg", NotarizeCommand::run},
    {"inspect", "inspect <file>", "Full report for a .dmg or .pkg (signing, trust, contents, installer)", InspectCommand::run},
    {"verify", "verify <file>", "Check signing, notarization and stapling of an .app, .dmg or .pkg", VerifyCommand::run},
    {"doctor", "doctor [folder]", "Check tools, identities, credentials and show every effective setting", DoctorCommand::run},
    {"setup", "setup", "Save your identities, notarization credentials and defaults", SetupCommand::run},
    {"update", "update", "Install the newest Bosun (`bosun update --check` only checks)", UpdateCommand::run},
    {"help", "help [topic]", "Help for a command, `config` or `exit-codes`", help},
};
// clang-format on

// An image the command attached and could not detach gets one more try as the command ends, and
// a warning when it still stays; the exit code is the command's all the same.
void detachRemainingImages(Console& console) {
  for (const auto& target : DiskImageCleanup::detachRemembered())
    console.warning("Could not detach " + target + ".");
}

} // namespace

std::span<const CommandEntry> BosunMain::commands() {
  return commandTable;
}

int BosunMain::main(int argc, char** argv) {
  // A reader that goes away (`bosun help | head -n 1`) must not kill the process: writes then
  // fail with EPIPE and the console drops that stream quietly.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i)
    arguments.emplace_back(argv[i]);
  std::exit(exitCodeNumber(run(arguments)));
}

ExitCode BosunMain::run(const std::vector<std::string>& arguments) {
  Console& console = Console::shared();
  std::optional<ParsedArguments> parsed;
  try {
    parsed.emplace(arguments);
  } catch (...) {
    // The console is still in its initial state, so this is plain text even with --json.
    const CLIError error = CLIError::from(std::current_exception(), ExitCode::failure);
    console.failure(error);
    return error.code();
  }

  console.configure(parsed->hasFlag("json"), parsed->hasFlag("verbose"), parsed->hasFlag("quiet"),
                    wantsColors(*parsed));

  SignalHandler::shared().install();
  installLogging();

  const bool isUpdate = parsed->command && lowercasedASCII(*parsed->command) == "update";
  // Unless the command is `update`, the background update check starts here. It runs detached:
  // the process never waits for it.
  if (!isUpdate) UpdateNotice::startBackgroundCheck(*parsed);

  ExitCode code = ExitCode::success;
  try {
    code = dispatch(*parsed);
  } catch (...) {
    // A command stopped by Ctrl-C or SIGTERM leaves the failure line and the end of the process
    // to the signal handler, which is still cleaning up.
    SignalHandler::shared().waitWhileHandling();
    detachRemainingImages(console);
    const CLIError error = CLIError::from(std::current_exception(), ExitCode::failure);
    console.failure(error);
    return error.code();
  }
  SignalHandler::shared().waitWhileHandling();
  detachRemainingImages(console);
  // Unless the command is `update`, the update notice is shown here, from what an earlier run
  // cached.
  if (!isUpdate) UpdateNotice::show(*parsed);
  return code;
}

ExitCode BosunMain::dispatch(const ParsedArguments& parsed) {
  if (parsed.hasFlag("version")) {
    printVersion();
    return ExitCode::success;
  }
  if (parsed.hasFlag("help")) return HelpCommand::run(parsed.command);
  if (!parsed.command) return HelpCommand::run(parsed.firstPositional());
  const std::string word = lowercasedASCII(*parsed.command);
  if (word == "version") {
    printVersion();
    return ExitCode::success;
  }
  std::vector<std::string> names;
  for (const auto& command : commands()) {
    if (command.name == word) return command.run(parsed);
    names.emplace_back(command.name);
  }
  throw CLIError(ExitCode::usage, "Unknown command \"" + *parsed.command + "\".",
                 "Commands: " + halyard::text::joined(names, ", "));
}

void BosunMain::installLogging() {
  halyard::HalyardCoreLog::processLaunched = [](const halyard::ChildProcess& process) {
    std::vector<std::string> parts;
    parts.reserve(process.arguments().size() + 1);
    parts.push_back(process.executable().string());
    parts.insert(parts.end(), process.arguments().begin(), process.arguments().end());
    Console::shared().detail("$ " + halyard::text::joined(parts, " "));
  };
  halyard::HalyardCoreLog::note = [](const std::string& message) {
    Console::shared().detail(message);
  };
  halyard::HalyardCoreLog::debug = [](const std::string& message) {
    Console::shared().detail(message);
  };
  halyard::HalyardCoreLog::debugEnabled = [] { return Console::shared().isVerbose(); };
}

bool BosunMain::wantsColors(const ParsedArguments& parsed) {
  if (parsed.hasFlag("no-color")) return false;
  if (std::getenv("NO_COLOR") != nullptr) return false;
  return ::isatty(STDERR_FILENO) == 1;
}

} // namespace bosun
