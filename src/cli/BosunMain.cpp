#include "cli/BosunMain.hpp"

#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "cli/CLIError.hpp"
#include "cli/Console.hpp"
#include "cli/HelpCommand.hpp"
#include "cli/InspectCommand.hpp"
#include "cli/NotarizeCommand.hpp"
#include "cli/ParsedArguments.hpp"
#include "cli/SignalHandler.hpp"
#include "cli/StartCommand.hpp"
#include "cli/UpdateCommand.hpp"
#include "cli/UpdateNotice.hpp"
#include "cli/VerifyCommand.hpp"
#include "core/Process/ChildProcess.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

std::string lowerCasedASCII(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

void printVersion() {
  Console::shared().result("Bosun " + HelpCommand::version());
}

// A command whose implementation is not part of this build yet.
[[noreturn]] void unavailable(const std::string& command) {
  throw CLIError(ExitCode::failure,
                 "The " + command + " command is not available in this build of Bosun.");
}

// The commands, by lower-cased word; `typed` is the word as given. Each command replaces its line
// here when it arrives.
ExitCode runCommand(const std::string& word, const std::string& typed,
                    const ParsedArguments& parsed) {
  if (word == "start") return StartCommand::run(parsed);
  if (word == "notarize") return NotarizeCommand::run(parsed);
  if (word == "inspect") return InspectCommand::run(parsed);
  if (word == "verify") return VerifyCommand::run(parsed);
  if (word == "doctor") unavailable(word); // DoctorCommand::run(parsed)
  if (word == "setup") unavailable(word);  // SetupCommand::run(parsed)
  if (word == "update") return UpdateCommand::run(parsed);
  throw CLIError(ExitCode::usage, "Unknown command \"" + typed + "\".",
                 "Commands: start, notarize, inspect, verify, doctor, setup, update, help");
}

} // namespace

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

  const bool isUpdate = parsed->command && lowerCasedASCII(*parsed->command) == "update";
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
    // No update notice after a failure.
    const CLIError error = CLIError::from(std::current_exception(), ExitCode::failure);
    console.failure(error);
    return error.code();
  }
  SignalHandler::shared().waitWhileHandling();
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
  const std::string word = lowerCasedASCII(*parsed.command);
  if (word == "help") return HelpCommand::run(parsed.firstPositional());
  if (word == "version") {
    printVersion();
    return ExitCode::success;
  }
  return runCommand(word, *parsed.command, parsed);
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
}

bool BosunMain::wantsColors(const ParsedArguments& parsed) {
  if (parsed.hasFlag("no-color")) return false;
  if (std::getenv("NO_COLOR") != nullptr) return false;
  return ::isatty(STDERR_FILENO) == 1;
}

} // namespace bosun
