#pragma once

#include <optional>
#include <string>

#include "cli/console/ExitCode.hpp"
#include "cli/settings/CLIConfiguration.hpp"
#include "cli/settings/ParsedArguments.hpp"

namespace bosun {

class Console;
class TerminalSession;

// `bosun setup`: saves identities, notarization credentials and defaults in the user config file,
// with flags or through a short wizard in Terminal; creates a notarytool keychain profile, imports
// the desktop app's settings, shows and removes the saved file. Nothing is written before the
// final save, which replaces the file atomically, so an interrupted setup leaves the old file.
struct SetupCommand {
  static ExitCode run(const ParsedArguments& arguments);

  // The interactive wizard (also run by `start` when nothing is configured). Throws CLIError
  // `usage` without an interactive terminal or when the input ends before the last answer.
  static ExitCode runWizard(const ParsedArguments& arguments);
  static ExitCode runWizard(const ParsedArguments& arguments, TerminalSession& session,
                            Console& console);

  // The setting values given as flags. Throws CLIError `usage` for an on/off pair given together.
  // An empty value (`--identity ""`) is kept as an empty text: saving it removes that setting.
  static CLIConfiguration configurationFromFlags(const ParsedArguments& arguments);

  // Stores the keychain profile with notarytool on this terminal (NotaryCredentials::storeProfile),
  // so that notarytool asks for the password itself. Throws CLIError `usage` without a terminal
  // and `credentials` when notarytool fails.
  static void createProfile(const std::string& name, const std::optional<std::string>& appleID,
                            const std::optional<std::string>& teamID);
};

} // namespace bosun
