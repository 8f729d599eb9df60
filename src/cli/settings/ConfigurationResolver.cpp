#include "cli/settings/ConfigurationResolver.hpp"

#include <stdexcept>
#include <system_error>

#include "cli/console/CLIError.hpp"
#include "cli/settings/ConfigurationStore.hpp"
#include "cli/settings/TildeExpansion.hpp"
#include "core/Import/NestedSigningScheduler.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace {

struct Candidate {
  std::optional<std::string> value;
  std::string source;
};

// The first source with a value, before trimming and validation.
Candidate firstValue(const SettingDefinition& setting, const ParsedArguments& arguments,
                     const Environment& environment,
                     const std::optional<CLIConfiguration>& projectConfiguration,
                     const std::string& projectSource,
                     const std::optional<CLIConfiguration>& userConfiguration) {
  if (setting.valueFlag) {
    if (const auto found = arguments.values.find(*setting.valueFlag);
        found != arguments.values.end()) {
      return {found->second, "--" + *setting.valueFlag};
    }
  }
  if (setting.onFlag && setting.offFlag) {
    const bool on = arguments.flags.count(*setting.onFlag) != 0;
    const bool off = arguments.flags.count(*setting.offFlag) != 0;
    if (on && off) {
      throw CLIError(ExitCode::usage, "--" + *setting.onFlag + " and --" + *setting.offFlag +
                                          " cannot be used together.");
    }
    if (on) return {"true", "--" + *setting.onFlag};
    if (off) return {"false", "--" + *setting.offFlag};
  }
  if (auto value = environment.nonEmpty(setting.environment)) {
    return {std::move(value), "$" + setting.environment};
  }
  if (projectConfiguration) {
    if (auto value = projectConfiguration->value(setting.key)) return {value, projectSource};
  }
  if (userConfiguration) {
    if (auto value = userConfiguration->value(setting.key)) return {value, "user config"};
  }
  return {setting.defaultValue, "default"};
}

} // namespace

ResolvedSetting ConfigurationResolver::validated(const SettingDefinition& setting,
                                                 std::optional<std::string> given,
                                                 std::string source) {
  const Candidate candidate{std::move(given), std::move(source)};
  std::optional<std::string> value;
  if (candidate.value) {
    std::string trimmed = halyard::text::trimmed(*candidate.value);
    if (!trimmed.empty()) value = std::move(trimmed);
  }
  if (value && setting.isBoolean() && !CLIConfiguration::parseBool(*value)) {
    throw CLIError(ExitCode::configuration, setting.title + " from " + candidate.source +
                                                " must be true or false, not \"" + *value + "\".");
  }
  if (value && setting.key == "notaryWait" && !ConfigurationResolver::seconds(*value)) {
    throw CLIError(ExitCode::configuration, setting.title + " from " + candidate.source +
                                                " must be a whole number of seconds, not \"" +
                                                *value + "\".");
  }
  if (value && setting.wholeNumberRange) {
    const auto [least, most] = *setting.wholeNumberRange;
    const auto number = CLIConfiguration::parseWholeNumber(*value);
    if (!number || *number < least || *number > most) {
      throw CLIError(ExitCode::configuration,
                     setting.title + " from " + candidate.source + " must be a whole number from " +
                         std::to_string(least) + " to " + std::to_string(most) + ", not \"" +
                         *value + "\".");
    }
  }
  if (value && setting.allowedValues) {
    std::string lowered = halyard::text::lowercasedASCII(*value);
    bool allowed = false;
    for (const std::string& candidateValue : *setting.allowedValues) {
      allowed = allowed || candidateValue == lowered;
    }
    if (!allowed) {
      throw CLIError(ExitCode::configuration,
                     setting.title + " from " + candidate.source + " must be one of: " +
                         halyard::text::joined(*setting.allowedValues, ", ") + ".",
                     "Got \"" + *value + "\".");
    }
    value = std::move(lowered);
  }
  return {setting, std::move(value), candidate.source};
}

ConfigurationResolver::ConfigurationResolver(
    const ParsedArguments& arguments, const std::optional<std::filesystem::path>& projectFolder)
    : ConfigurationResolver(arguments, projectFolder, Environment::current()) {}

ConfigurationResolver::ConfigurationResolver(
    const ParsedArguments& arguments, const std::optional<std::filesystem::path>& projectFolder,
    const Environment& environment) {
  home_ = environment.nonEmpty("HOME").value_or(halyard::UserFolders::home().string());
  userConfigURL_ = ConfigurationStore::userConfigURL(arguments.value("config"), environment);
  // A file named with --config must be there: a mistyped path would otherwise run with other
  // settings, perhaps signing with another identity. (setup, which creates it, does not come here.)
  std::error_code missing;
  if (arguments.value("config") && !std::filesystem::exists(userConfigURL_, missing)) {
    throw CLIError(ExitCode::configuration,
                   "The configuration file " + userConfigURL_.string() + " does not exist.",
                   "Check the --config path, or create the file with `bosun setup --config " +
                       userConfigURL_.string() + "`.");
  }
  userConfiguration_ = ConfigurationStore::load(userConfigURL_);

  std::optional<CLIConfiguration> projectConfiguration;
  std::string projectSource;
  if (projectFolder) {
    projectConfigURL_ = projectConfigURL(*projectFolder);
    if (projectConfigURL_) {
      projectConfiguration = ConfigurationStore::load(*projectConfigURL_);
      projectSource = projectConfigURL_->filename().string();
    }
  }

  // Resolved into a local map first, so that a failure leaves nothing half applied.
  std::map<std::string, ResolvedSetting, std::less<>> settings;
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    Candidate candidate = firstValue(setting, arguments, environment, projectConfiguration,
                                     projectSource, userConfiguration_);
    settings.emplace(setting.key,
                     validated(setting, std::move(candidate.value), std::move(candidate.source)));
  }
  settings_ = std::move(settings);
}

std::optional<std::filesystem::path>
ConfigurationResolver::projectConfigURL(const std::filesystem::path& projectFolder) {
  for (const char* name : {"bosun.json", ".bosun.json"}) {
    std::error_code error;
    const auto candidate = projectFolder / name;
    if (std::filesystem::exists(candidate, error)) return candidate;
  }
  return std::nullopt;
}

const ResolvedSetting& ConfigurationResolver::setting(std::string_view key) const {
  const auto found = settings_.find(key);
  if (found == settings_.end()) {
    throw std::out_of_range("No setting named \"" + std::string(key) + "\".");
  }
  return found->second;
}

bool ConfigurationResolver::boolean(std::string_view key) const {
  const auto& text = setting(key).value;
  return text && CLIConfiguration::parseBool(*text).value_or(false);
}

OutputKind ConfigurationResolver::format() const {
  return value("format") == "pkg" ? OutputKind::pkg : OutputKind::dmg;
}

InstallerWindowPreset ConfigurationResolver::windowPreset() const {
  const auto text = value("window");
  const auto preset = text ? InstallerWindowPresets::fromRawValue(*text) : std::nullopt;
  return preset.value_or(InstallerWindowPreset::compact);
}

std::optional<double> ConfigurationResolver::seconds(std::string_view text) {
  // Whole seconds, 1 to a week: a bound of hours is what anybody needs, and a typo such as
  // "90O" must not become a wait of 90 seconds.
  if (text.empty() || text.size() > 6 ||
      text.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  const double value = std::stod(std::string(text));
  if (value < 1 || value > 7 * 24 * 3600) return std::nullopt;
  return value;
}

double ConfigurationResolver::notaryWait() const {
  const auto text = value("notaryWait");
  const auto parsed = text ? seconds(*text) : std::nullopt;
  return parsed.value_or(defaultNotaryWait);
}

halyard::DMGCompressionFormat ConfigurationResolver::compression() const {
  const auto text = value("compression");
  const auto format = text ? halyard::DMGCompressionFormats::fromName(*text) : std::nullopt;
  return format.value_or(halyard::DMGCompressionFormats::allCases.front());
}

std::size_t ConfigurationResolver::signingJobs() const {
  const auto text = value("signingJobs");
  const auto number = text ? CLIConfiguration::parseWholeNumber(*text) : std::nullopt;
  return number && *number > 0 ? static_cast<std::size_t>(*number)
                               : halyard::NestedSigningScheduler::defaultJobs();
}

std::optional<halyard::NotaryCredentials> ConfigurationResolver::credentials() const {
  const auto keyPath = value("apiKeyPath");
  const auto keyID = value("apiKeyID");
  if (keyPath && keyID) {
    const std::string expanded = expandingTilde(*keyPath, home_);
    std::error_code error;
    if (!std::filesystem::exists(expanded, error)) {
      throw CLIError(ExitCode::credentials, "The API key file was not found: " + expanded);
    }
    return halyard::NotaryCredentials::apiKey(expanded, *keyID, value("apiIssuer"));
  }
  if (keyPath || keyID) {
    throw CLIError(ExitCode::credentials,
                   "An App Store Connect API key needs both the key file and the key ID.",
                   "Pass --key <AuthKey.p8> and --key-id <ID> (and --issuer <UUID> for team "
                   "keys).");
  }
  if (auto profile = value("keychainProfile")) {
    return halyard::NotaryCredentials::keychainProfile(*profile);
  }
  return std::nullopt;
}

} // namespace bosun
