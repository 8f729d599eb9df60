#include "cli/commands/SetupCommand.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/console/Redactor.hpp"
#include "cli/console/TerminalSession.hpp"
#include "cli/release/InstallerWindowPreset.hpp"
#include "cli/settings/ConfigurationResolver.hpp"
#include "cli/settings/ConfigurationStore.hpp"
#include "cli/settings/HalyardSettingsImporter.hpp"
#include "cli/settings/SettingDefinition.hpp"
#include "cli/settings/TildeExpansion.hpp"
#include "core/Appcast/EdSigningKey.hpp"
#include "core/Notarization/NotaryCredentials.hpp"
#include "core/Signing/SigningIdentityDetector.hpp"
#include "core/Signing/SigningIdentityListingError.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace {

namespace fs = std::filesystem;

constexpr const char* terminalHint = "Use flags instead, for example: bosun setup --identity "
                                     "\"Developer ID Application: Name (TEAMID)\" --profile notary";

fs::path configFile(const ParsedArguments& arguments) {
  return ConfigurationStore::userConfigURL(arguments.value("config"));
}

// Saving a configuration in which a text setting is empty removes that setting.
CLIConfiguration withoutEmptyValues(CLIConfiguration configuration) {
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    const auto value = configuration.value(setting.key);
    if (value && halyard::text::trimmed(*value).empty())
      configuration.set(std::nullopt, setting.key);
  }
  return configuration;
}

ExitCode reset(const fs::path& file, Console& console) {
  std::error_code error;
  const auto status = fs::symlink_status(file, error);
  if (!fs::exists(status)) {
    console.info("No configuration at " + file.string());
    console.info("Run `bosun setup`.");
    return ExitCode::success;
  }
  if (fs::is_directory(status) || !fs::remove(file, error) || error) {
    throw CLIError(ExitCode::configuration,
                   "Could not remove " + file.string() + ": " +
                       (error ? error.message() : std::string("it is a folder")) + ".");
  }
  console.success("Removed " + file.string());
  return ExitCode::success;
}

ExitCode show(const fs::path& file, Console& console) {
  const auto configuration = ConfigurationStore::load(file);
  if (!configuration) {
    console.info("No configuration at " + file.string());
    return ExitCode::success;
  }
  if (console.isJSON()) {
    console.event("configuration",
                  nlohmann::json{{"path", file.string()},
                                 {"settings", nlohmann::json::parse(configuration->encoded())}});
  } else {
    console.info("Configuration at " + file.string() + ":");
    console.result(Redactor::redact(halyard::text::trimmed(configuration->encoded())));
  }
  return ExitCode::success;
}

// A question that must have an answer: the end of the input stops setup.
void requireInput(const TerminalSession& session) {
  if (session.inputEnded()) {
    throw CLIError(ExitCode::usage,
                   "Setup stopped because the input ended before every question was answered.",
                   "Nothing was saved. Run `bosun setup` again in Terminal, or use flags.");
  }
}

std::string askRequired(TerminalSession& session, const std::string& question,
                        const std::optional<std::string>& defaultValue = std::nullopt) {
  while (true) {
    auto answer = session.ask(question, defaultValue);
    requireInput(session);
    if (answer && !answer->empty()) return *answer;
  }
}

std::size_t chooseRequired(TerminalSession& session, const std::string& question,
                           const std::vector<std::string>& options, std::size_t defaultIndex) {
  const auto index = session.choose(question, options, defaultIndex);
  requireInput(session);
  return index.value_or(defaultIndex);
}

bool confirmRequired(TerminalSession& session, const std::string& question, bool defaultValue) {
  const bool answer = session.confirm(question, defaultValue);
  requireInput(session);
  return answer;
}

// The identity question: the installed identities, a configured one that is not installed
// (marked), then the option for none. Returns the chosen name, or none.
std::optional<std::string> chooseIdentity(TerminalSession& session, const std::string& question,
                                          const std::vector<std::string>& installed,
                                          const std::optional<std::string>& current,
                                          const std::string& noneOption) {
  std::vector<std::string> names = installed;
  std::vector<std::string> options = installed;
  std::size_t defaultIndex = 0;
  if (current) {
    const auto found = std::find(names.begin(), names.end(), *current);
    if (found == names.end()) {
      names.push_back(*current);
      options.push_back(*current + " (not installed)");
      defaultIndex = names.size() - 1;
    } else {
      defaultIndex = static_cast<std::size_t>(found - names.begin());
    }
  }
  options.push_back(noneOption);
  if (!current && names.empty()) defaultIndex = 0;
  const std::size_t index = chooseRequired(session, question, options, defaultIndex);
  if (index >= names.size()) return std::nullopt;
  return names[index];
}

void useProfile(CLIConfiguration& configuration, const std::string& name) {
  configuration.keychainProfile = name;
  configuration.apiKeyPath.reset();
  configuration.apiKeyID.reset();
  configuration.apiIssuer.reset();
}

void chooseCredentials(TerminalSession& session, Console& console,
                       CLIConfiguration& configuration) {
  std::vector<std::string> options;
  const bool canKeep = configuration.keychainProfile.has_value() && !configuration.apiKeyPath;
  if (canKeep)
    options.push_back("Keep keychain profile \"" + *configuration.keychainProfile + "\"");
  const std::size_t first = options.size();
  options.insert(options.end(), {"Use an existing notarytool keychain profile",
                                 "Create a keychain profile now (Apple ID + app-specific password)",
                                 "Use an App Store Connect API key"});
  std::size_t defaultIndex = 0;
  if (!canKeep && configuration.apiKeyPath) defaultIndex = first + 2;
  const std::size_t choice =
      chooseRequired(session, "Notarization credentials", options, defaultIndex);

  std::optional<halyard::NotaryCredentials> credentials;
  if (canKeep && choice == 0) {
    credentials = halyard::NotaryCredentials::keychainProfile(*configuration.keychainProfile);
  } else if (choice == first) {
    const std::string name =
        askRequired(session, "Keychain profile name", configuration.keychainProfile);
    useProfile(configuration, name);
    credentials = halyard::NotaryCredentials::keychainProfile(name);
  } else if (choice == first + 1) {
    const std::string appleID = askRequired(session, "Apple ID");
    const std::string teamID = askRequired(session, "Team ID");
    const std::string name =
        askRequired(session, "Name for the new profile", std::string("notary"));
    SetupCommand::createProfile(name, appleID, teamID);
    useProfile(configuration, name);
    credentials = halyard::NotaryCredentials::keychainProfile(name);
  } else {
    const std::string path = expandingTilde(
        askRequired(session, "Path to the AuthKey_XXXX.p8 file", configuration.apiKeyPath),
        halyard::UserFolders::home());
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
      throw CLIError(ExitCode::usage, "The key file was not found: " + path);
    }
    const std::string keyID = askRequired(session, "Key ID", configuration.apiKeyID);
    auto issuer =
        session.ask("Issuer ID (leave empty for individual keys)", configuration.apiIssuer);
    requireInput(session);
    if (issuer && issuer->empty()) issuer.reset();
    configuration.keychainProfile.reset();
    configuration.apiKeyPath = path;
    configuration.apiKeyID = keyID;
    configuration.apiIssuer = issuer;
    credentials = halyard::NotaryCredentials::apiKey(path, keyID, issuer);
  }

  console.step("Checking " + credentials->displayName() + " with Apple…");
  const auto validation = credentials->validate();
  if (validation.valid) {
    console.success("Notarization credentials work");
    return;
  }
  console.warning("Apple did not accept these credentials: " + validation.message);
  if (!confirmRequired(session, "Save them anyway?", false)) {
    throw CLIError(ExitCode::credentials,
                   "Setup stopped because the notarization credentials were not accepted.");
  }
}

std::string presetOption(InstallerWindowPreset preset) {
  const auto size = windowSize(preset);
  return std::string(rawValue(preset)) + " (" + std::to_string(static_cast<int>(size.width)) +
         " × " + std::to_string(static_cast<int>(size.height)) + ")";
}

} // namespace

CLIConfiguration SetupCommand::configurationFromFlags(const ParsedArguments& arguments) {
  CLIConfiguration configuration;
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    if (setting.valueFlag) {
      if (auto value = arguments.value(*setting.valueFlag)) {
        // A value every later run would refuse is refused now, before anything is saved.
        ConfigurationResolver::validated(setting, value, "--" + *setting.valueFlag);
        configuration.set(value, setting.key);
      }
    }
    if (setting.onFlag && setting.offFlag) {
      const bool on = arguments.hasFlag(*setting.onFlag);
      const bool off = arguments.hasFlag(*setting.offFlag);
      if (on && off) {
        throw CLIError(ExitCode::usage, "--" + *setting.onFlag + " and --" + *setting.offFlag +
                                            " cannot be used together.");
      }
      if (on || off) configuration.set(on ? "true" : "false", setting.key);
    }
  }
  // The config file never holds a secret: an update key typed in place of its file's path is
  // refused, not saved.
  if (configuration.edKeyFile && halyard::EdSigningKey::isKeyText(*configuration.edKeyFile)) {
    throw CLIError(ExitCode::usage,
                   "--ed-key-file takes the path of a file that holds the key, not the key itself.",
                   "The key is never saved in the config file.");
  }
  return configuration;
}

ExitCode SetupCommand::run(const ParsedArguments& arguments) {
  if (arguments.hasFlag("dry-run")) {
    throw CLIError(ExitCode::usage, "`bosun setup` has no dry run.",
                   "Run `bosun setup --show` to see the saved settings.");
  }
  Console& console = Console::shared();
  const fs::path file = configFile(arguments);
  if (arguments.hasFlag("reset")) return reset(file, console);
  if (arguments.hasFlag("show")) return show(file, console);

  if (const auto name = arguments.value("create-profile")) {
    if (halyard::text::trimmed(*name).empty())
      throw CLIError(ExitCode::usage, "--create-profile needs a profile name.",
                     "Example: bosun setup --create-profile notary");
    CLIConfiguration configuration = ConfigurationStore::load(file).value_or(CLIConfiguration{});
    createProfile(*name, arguments.value("apple-id"), arguments.value("team-id"));
    useProfile(configuration, *name);
    ConfigurationStore::save(configuration, file);
    console.success("Saved keychain profile \"" + *name + "\"");
    return ExitCode::success;
  }

  const CLIConfiguration flags = configurationFromFlags(arguments);
  const bool importing = arguments.hasFlag("import-halyard");
  if (flags.isEmpty() && !importing) return runWizard(arguments);

  CLIConfiguration configuration = ConfigurationStore::load(file).value_or(CLIConfiguration{});
  if (importing) {
    if (const auto imported = HalyardSettingsImporter::load()) {
      configuration.merge(*imported);
    } else if (flags.isEmpty()) {
      throw CLIError(ExitCode::configuration, "No Halyard settings were found.",
                     "Looked in " +
                         halyard::text::joined(
                             [] {
                               std::vector<std::string> names;
                               for (const auto& path : HalyardSettingsImporter::domainFiles())
                                 names.push_back(path.string());
                               return names;
                             }(),
                             " and ") +
                         ".");
    } else {
      console.warning("No Halyard settings were found; saving the other values.");
    }
  }
  configuration.merge(flags);
  ConfigurationStore::save(withoutEmptyValues(configuration), file);
  console.success("Saved " + file.string());
  return ExitCode::success;
}

ExitCode SetupCommand::runWizard(const ParsedArguments& arguments) {
  if (!TerminalSession::isInteractive())
    throw CLIError(ExitCode::usage, "Interactive setup needs a Terminal.", terminalHint);
  TerminalSession session;
  return runWizard(arguments, session, Console::shared());
}

ExitCode SetupCommand::runWizard(const ParsedArguments& arguments, TerminalSession& session,
                                 Console& console) {
  const fs::path file = configFile(arguments);
  const auto existing = ConfigurationStore::load(file);
  CLIConfiguration configuration = existing.value_or(CLIConfiguration{});

  console.info("Bosun setup. Press Return to keep the value in brackets.");
  console.info("");

  if (!existing) {
    if (const auto imported = HalyardSettingsImporter::load()) {
      if (confirmRequired(session,
                          "Halyard settings were found (" +
                              HalyardSettingsImporter::summary(*imported) + "). Use them?",
                          true))
        configuration.merge(*imported);
    }
  }

  console.step("Looking for signing identities…");
  using halyard::SigningIdentityDetector;
  using halyard::SigningIdentityKind;
  // A keychain that could not be asked offers no identities, and the user hears why.
  const auto installed = [&console](SigningIdentityKind kind) {
    try {
      return SigningIdentityDetector::list(kind).installed();
    } catch (const halyard::SigningIdentityListingError& error) {
      console.warning(error.description());
      return std::vector<std::string>{};
    }
  };
  const auto applications = installed(SigningIdentityKind::application);
  const auto installers = installed(SigningIdentityKind::installer);

  const bool signingOff = configuration.sign == false;
  configuration.identity = chooseIdentity(
      session, "Developer ID Application identity (signs the app and DMG)", applications,
      signingOff ? std::nullopt : configuration.identity, "Don't sign");
  // "Don't sign" turns signing off; choosing an identity turns it back on.
  configuration.sign = configuration.identity ? std::nullopt : std::optional<bool>(false);
  configuration.installerIdentity =
      chooseIdentity(session, "Developer ID Installer identity (only needed for PKG files)",
                     installers, configuration.installerIdentity, "None");

  chooseCredentials(session, console, configuration);

  const bool pkg = configuration.format == "pkg";
  configuration.format = chooseRequired(session, "Default format",
                                        {"DMG", "PKG (Installer package)"}, pkg ? 1 : 0) == 1
                             ? "pkg"
                             : "dmg";

  std::vector<std::string> presets;
  std::size_t presetIndex = 0;
  const auto current =
      InstallerWindowPresets::fromRawValue(configuration.window.value_or("compact"));
  for (std::size_t i = 0; i < InstallerWindowPresets::allCases.size(); ++i) {
    presets.push_back(presetOption(InstallerWindowPresets::allCases[i]));
    if (current == InstallerWindowPresets::allCases[i]) presetIndex = i;
  }
  configuration.window = std::string(rawValue(InstallerWindowPresets::allCases[chooseRequired(
      session, "DMG window size", presets, presetIndex)]));

  configuration.notarizeApp =
      confirmRequired(session, "Also notarize the app bundle before packaging?",
                      configuration.notarizeApp.value_or(false));
  configuration.deepVerify =
      confirmRequired(session, "Run deep signature verification after signing?",
                      configuration.deepVerify.value_or(false));

  ConfigurationStore::save(configuration, file);
  console.success("Saved " + file.string());
  console.info(
      "Run `bosun doctor` any time to check everything, or `bosun start <folder>` to build.");
  return ExitCode::success;
}

void SetupCommand::createProfile(const std::string& name, const std::optional<std::string>& appleID,
                                 const std::optional<std::string>& teamID) {
  if (!TerminalSession::isInteractive()) {
    throw CLIError(ExitCode::usage, "Creating a keychain profile needs a Terminal, because "
                                    "notarytool asks for the password.");
  }
  Console::shared().info(
      "notarytool now asks for what is still missing, including an app-specific password "
      "(create one at appleid.apple.com under Sign-In and Security). Bosun never sees or stores "
      "it.");
  try {
    halyard::NotaryCredentials::storeProfile(name, appleID, teamID);
  } catch (const halyard::NotaryCredentials::StoreError& error) {
    throw CLIError(ExitCode::credentials, "notarytool could not store the credentials (exit " +
                                              std::to_string(error.status()) + ").");
  }
}

} // namespace bosun
