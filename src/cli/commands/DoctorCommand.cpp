#include "cli/commands/DoctorCommand.hpp"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>

#include "cli/console/CLIError.hpp"
#include "cli/console/Redactor.hpp"
#include "cli/release/FeedPublication.hpp"
#include "cli/settings/ConfigurationResolver.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "cli/settings/SettingDefinition.hpp"
#include "cli/settings/StandardizedPath.hpp"
#include "core/Appcast/AppcastFeed.hpp"
#include "core/Appcast/EdSigningKey.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Signing/SigningIdentityDetector.hpp"
#include "core/Support/Base64.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/SystemVersion.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/ToolRoot.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace {

using Finding = DoctorCommand::Finding;
using Mark = Console::Mark;

// A tool's output for a one-line detail: trimmed, lines joined with blanks, control characters
// made visible.
std::string oneLine(const std::string& output) {
  std::string text = halyard::text::trimmed(output);
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::erase(text, '\r');
  return halyard::text::printable(text);
}

std::string wholeSeconds(double seconds) {
  return std::to_string(static_cast<long long>(seconds));
}

// A tool run stopped at its limit, named by its command.
Finding timedOut(std::string area, std::string label, const std::string& command, double limit) {
  return {std::move(area), std::move(label), Mark::failed,
          command + " gave no answer within " + wholeSeconds(limit) + " seconds and was stopped.",
          ExitCode::timeout};
}

std::string_view statusName(Mark mark) {
  switch (mark) {
  case Mark::passed:
    return "passed";
  case Mark::warning:
    return "warning";
  case Mark::failed:
    return "failed";
  case Mark::skipped:
    return "skipped";
  }
  return "failed";
}

// "macOS 15.5 (24F74)" from the system version file; elsewhere the kernel's name and release.
std::string systemVersionText() {
  const auto version =
      halyard::PropertyList::readFile(halyard::ToolRoot::path(halyard::SystemVersion::file));
  const auto name = version.string("ProductName");
  const auto number = version.string("ProductVersion");
  if (name && number) {
    std::string text = *name + " " + *number;
    if (const auto build = version.string("ProductBuildVersion")) text += " (" + *build + ")";
    return oneLine(text);
  }
  struct utsname system {};
  if (::uname(&system) == 0)
    return std::string(system.sysname) + " " + system.release + " (not macOS)";
  return "unknown (not macOS)";
}

// The executable file of a platform tool, searched in the tool folders.
std::optional<std::filesystem::path> installedTool(const std::string& tool) {
  for (const char* folder : halyard::AppleTools::toolFolders) {
    const auto path = halyard::ToolRoot::path(std::filesystem::path(folder) / tool);
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0)
      return path;
  }
  return std::nullopt;
}

// The identity finding of one kind; a hung or missing `security` is told apart from an empty
// keychain.
Finding identityCheck(std::string_view label, halyard::SigningIdentityKind kind,
                      const std::optional<std::string>& configured, bool required) {
  using Outcome = halyard::SigningIdentityDetector::Listing::Outcome;
  const auto listing = halyard::SigningIdentityDetector::list(kind);
  switch (listing.outcome) {
  case Outcome::timedOut:
    return timedOut("identities", std::string(label), "security find-identity",
                    halyard::SigningIdentityDetector::timeLimit);
  case Outcome::notStarted:
    return {"identities", std::string(label), Mark::failed, oneLine(listing.reason),
            ExitCode::configuration};
  case Outcome::listed:
    break;
  }
  return DoctorCommand::identityFinding(label, configured, listing.identities, required);
}

Finding credentialsCheck(const ConfigurationResolver& configuration, bool offline,
                         Console& console) {
  const std::string label = "Notarization";
  std::optional<halyard::NotaryCredentials> credentials;
  try {
    credentials = configuration.credentials();
  } catch (const CLIError& error) {
    // A half-configured API key is a finding like any other; the other checks still run.
    return {"credentials", label, Mark::failed, error.message(), error.code()};
  }
  if (!credentials) {
    if (configuration.boolean("notarize"))
      return {"credentials", label, Mark::failed, "No keychain profile or API key configured",
              ExitCode::credentials};
    return {"credentials", label, Mark::skipped, "Notarization is off", std::nullopt};
  }
  if (offline)
    return {"credentials", label, Mark::skipped,
            credentials->displayName() + " (not checked, --offline)", std::nullopt};
  console.step("Checking notarization credentials with Apple…");
  const auto validation = credentials->validate();
  if (validation.valid)
    return {"credentials", label, Mark::passed, credentials->displayName(), std::nullopt};
  if (validation.timedOut)
    return timedOut("credentials", label, "xcrun notarytool history",
                    halyard::NotaryCredentials::validationTimeLimit);
  return {"credentials", label, Mark::failed, oneLine(validation.message), ExitCode::credentials};
}

// A setting's value as doctor shows it: an update key typed where its file's path belongs is
// never shown.
std::optional<std::string> shownValue(std::string_view key,
                                      const std::optional<std::string>& value) {
  if (key == "edKeyFile" && value && halyard::EdSigningKey::isKeyText(*value))
    return std::string("<redacted>");
  return value;
}

std::optional<std::filesystem::path> projectFolder(const ParsedArguments& parsed) {
  if (parsed.positionals.size() > 1)
    throw CLIError(ExitCode::usage, "doctor takes at most one folder.",
                   "Example: bosun doctor ~/Releases/MyApp");
  const auto given = parsed.firstPositional();
  if (!given) return std::nullopt;
  std::error_code error;
  std::filesystem::path current = std::filesystem::current_path(error);
  if (error) current = "/";
  const auto folder = standardizedPath(*given, current, halyard::UserFolders::home());
  if (!std::filesystem::exists(folder, error))
    throw CLIError(ExitCode::input, folder.string() + " does not exist.");
  if (!std::filesystem::is_directory(folder, error))
    throw CLIError(ExitCode::input, folder.string() + " is not a folder.");
  return folder;
}

} // namespace

std::vector<Finding> DoctorCommand::updateFeedFindings(const ConfigurationResolver& configuration,
                                                       const std::filesystem::path& releaseFolder) {
  std::vector<Finding> findings;
  const auto feed = configuration.value("appcast");
  if (!feed) return findings;
  const auto home = halyard::UserFolders::home();
  const auto feedPath = standardizedPath(*feed, releaseFolder, home);
  try {
    halyard::AppcastFeed::check(feedPath);
    std::error_code error;
    const bool exists = std::filesystem::exists(feedPath, error);
    findings.push_back({"config", "Update feed", Mark::passed,
                        oneLine(feedPath.string()) + (exists ? "" : " (made by the first release)"),
                        std::nullopt});
  } catch (const halyard::AppcastFeedError& error) {
    findings.push_back(
        {"config", "Update feed", Mark::failed, oneLine(error.what()), ExitCode::input});
  }

  const auto url = configuration.value("downloadURL");
  if (!url)
    findings.push_back({"config", "Download URL", Mark::failed,
                        "none configured; the feed needs the folder the file is served from",
                        ExitCode::configuration});
  else if (!halyard::AppcastItem::isDownloadFolderURL(*url))
    findings.push_back({"config", "Download URL", Mark::failed,
                        "\"" + oneLine(*url) + "\" is not an https:// folder address",
                        ExitCode::configuration});
  else
    findings.push_back({"config", "Download URL", Mark::passed, oneLine(*url), std::nullopt});

  std::optional<std::filesystem::path> keyFile;
  std::error_code error;
  const auto file = configuration.value("edKeyFile");
  if (file && halyard::EdSigningKey::isKeyText(*file)) {
    findings.push_back({"credentials", "Update signing key", Mark::failed,
                        "the key file setting holds a key, not the path of a file",
                        ExitCode::credentials});
    return findings;
  }
  if (file) keyFile = standardizedPath(*file, std::filesystem::current_path(error), home);
  try {
    // The key is read and dropped at once; only its public half is shown.
    const auto key = FeedPublication::loadKey(keyFile);
    findings.push_back({"credentials", "Update signing key", Mark::passed,
                        "readable from " +
                            (keyFile ? oneLine(keyFile->string()) : "the login keychain") +
                            ", public key " + halyard::Base64::encoded(key.publicKey()),
                        std::nullopt});
  } catch (const CLIError& failure) {
    findings.push_back({"credentials", "Update signing key", Mark::failed,
                        oneLine(failure.message()), ExitCode::credentials});
  }
  return findings;
}

Finding DoctorCommand::identityFinding(std::string_view label,
                                       const std::optional<std::string>& configured,
                                       const std::vector<std::string>& available, bool required) {
  Finding finding{"identities", std::string(label), Mark::passed, "", std::nullopt};
  if (!configured) {
    finding.detail = available.empty()
                         ? "none configured, none installed"
                         : "none configured (" + std::to_string(available.size()) + " installed)";
    finding.mark = required ? Mark::failed : Mark::skipped;
    if (required) finding.code = ExitCode::credentials;
    return finding;
  }
  if (halyard::SigningIdentityDetector::firstMatch(available, *configured)) {
    finding.detail = *configured;
    return finding;
  }
  finding.mark = Mark::failed;
  finding.detail = "\"" + *configured + "\" is not installed in your keychain";
  finding.code = ExitCode::credentials;
  return finding;
}

Finding DoctorCommand::developerToolFinding(const std::string& tool,
                                            const halyard::DeveloperToolLocation& location) {
  using Kind = halyard::DeveloperToolLocation::Kind;
  switch (location.kind) {
  case Kind::timedOut:
    return timedOut("tools", tool, "xcrun --find " + tool, location.limit);
  case Kind::found:
    return {"tools", tool, Mark::passed, oneLine(location.path), std::nullopt};
  case Kind::missing:
    break;
  }
  return {"tools", tool, Mark::failed,
          "not found. Install Xcode or the Command Line Tools (xcode-select --install).",
          ExitCode::configuration};
}

Finding DoctorCommand::keychainFinding(const halyard::KeychainStatus& keychain) {
  using Kind = halyard::KeychainStatus::Kind;
  const std::string label = "Keychain";
  std::string words = oneLine(keychain.text);
  switch (keychain.kind) {
  case Kind::timedOut:
    return timedOut("identities", label, "security show-keychain-info", keychain.limit);
  case Kind::readable:
    return {"identities", label, Mark::passed,
            keychain.keychain.empty() ? "unlocked"
                                      : "unlocked (" + oneLine(keychain.keychain) + ")",
            std::nullopt};
  case Kind::notStarted:
    // A tool that could not be started says nothing about the keychain's lock.
    return {"identities", label, Mark::warning, words, std::nullopt};
  case Kind::notReadable:
    break;
  }
  if (words.empty())
    words =
        "security show-keychain-info ended with status " + std::to_string(keychain.status) + ".";
  return {"identities", label, Mark::warning,
          words + " codesign would wait for a password prompt that never comes in CI; unlock the "
                  "keychain first (security unlock-keychain).",
          std::nullopt};
}

ExitCode DoctorCommand::exitCode(const std::vector<Finding>& findings) {
  for (const auto& finding : findings)
    if (finding.code) return *finding.code;
  return ExitCode::success;
}

std::vector<std::string>
DoctorCommand::settingsListing(const ConfigurationResolver& configuration) {
  size_t width = 0;
  for (const auto& definition : SettingDefinition::all())
    width = std::max(width, definition.key.size());
  std::vector<std::string> lines{
      "Effective settings (flags > environment > project file > user config > defaults):"};
  for (const auto& definition : SettingDefinition::all()) {
    const auto& setting = configuration.setting(definition.key);
    std::string line = "  " + definition.key;
    line.append(width - definition.key.size(), ' ');
    lines.push_back(line + "  " + shownValue(definition.key, setting.value).value_or("-") + "  (" +
                    setting.source + ")");
  }
  return lines;
}

nlohmann::json DoctorCommand::payload(const std::vector<Finding>& findings,
                                      const ConfigurationResolver& configuration) {
  const ExitCode code = exitCode(findings);
  auto list = nlohmann::json::array();
  for (const auto& finding : findings)
    list.push_back({{"area", finding.area},
                    {"label", finding.label},
                    {"status", statusName(finding.mark)},
                    {"detail", finding.detail}});
  auto settings = nlohmann::json::object();
  for (const auto& definition : SettingDefinition::all()) {
    const auto& setting = configuration.setting(definition.key);
    nlohmann::json entry{{"source", setting.source}};
    if (const auto value = shownValue(definition.key, setting.value)) entry["value"] = *value;
    settings[definition.key] = std::move(entry);
  }
  return {{"exitCode", exitCodeNumber(code)},
          {"class", exitCodeName(code)},
          {"findings", std::move(list)},
          {"settings", std::move(settings)}};
}

ExitCode DoctorCommand::run(const ParsedArguments& parsed) {
  // A configuration that cannot be resolved ends the command before any check.
  const auto folder = projectFolder(parsed);
  const ConfigurationResolver configuration(parsed, folder);
  auto& console = Console::shared();
  std::vector<Finding> findings;
  auto add = [&](Finding finding) {
    console.check(finding.label, finding.detail, finding.mark);
    findings.push_back(std::move(finding));
  };

  console.step("Checking tools…");
  add({"system", "macOS", Mark::passed, systemVersionText(), std::nullopt});
  if (halyard::ToolRoot::isActive())
    add({"system", "Stand-in tools", Mark::warning,
         "BOSUN_TOOL_ROOT is " + oneLine(halyard::ToolRoot::root().string()) +
             ": the macOS tools are stand-ins, and nothing signed or notarized here is valid on "
             "a Mac",
         std::nullopt});

  for (const char* tool : requiredTools) {
    if (const auto path = installedTool(tool))
      add({"tools", tool, Mark::passed, oneLine(path->string()), std::nullopt});
    else
      add({"tools", tool, Mark::failed, "not found", ExitCode::configuration});
  }
  for (const char* tool : developerTools)
    add(developerToolFinding(tool, halyard::DeveloperToolLocation::find(tool)));

  if (configuration.hasUserConfiguration())
    add({"config", "User config", Mark::passed, configuration.userConfigURL().string(),
         std::nullopt});
  else
    add({"config", "User config", Mark::warning,
         configuration.userConfigURL().string() + " (missing, run `bosun setup`)", std::nullopt});
  if (const auto& project = configuration.projectConfigURL())
    add({"config", "Project config", Mark::passed, project->string(), std::nullopt});

  console.step("Checking signing identities…");
  add(keychainFinding(halyard::KeychainStatus::read()));
  add(identityCheck("Developer ID Application", halyard::SigningIdentityKind::application,
                    configuration.value("identity"), configuration.boolean("sign")));
  add(identityCheck("Developer ID Installer", halyard::SigningIdentityKind::installer,
                    configuration.value("installerIdentity"),
                    configuration.format() == OutputKind::pkg &&
                        configuration.boolean("notarize")));

  add(credentialsCheck(configuration, parsed.hasFlag("offline"), console));
  std::error_code noFolder;
  for (auto& finding : updateFeedFindings(
           configuration, folder ? *folder : std::filesystem::current_path(noFolder)))
    add(std::move(finding));

  if (console.isJSON()) {
    console.event("doctor", payload(findings, configuration));
  } else {
    // Settings may hold secrets; results are printed as they are given.
    for (const auto& line : settingsListing(configuration))
      console.result(Redactor::redact(line));
  }
  return exitCode(findings);
}

} // namespace bosun
