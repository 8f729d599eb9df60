#include "cli/settings/SettingDefinition.hpp"

#include "cli/release/InstallerWindowPreset.hpp"
#include "cli/release/OutputKind.hpp"
#include "core/DMG/DMGCompressionFormat.hpp"
#include "core/Import/NestedSigningScheduler.hpp"

namespace bosun {

namespace {

template <class Cases> std::vector<std::string> rawValues(const Cases& cases) {
  std::vector<std::string> values;
  for (auto value : cases)
    values.emplace_back(rawValue(value));
  return values;
}

std::vector<std::string> outputKindValues() {
  std::vector<std::string> values;
  for (OutputKind kind : allOutputKinds)
    values.emplace_back(fileExtension(kind));
  return values;
}

SettingDefinition text(std::string key, std::string title, std::string environment,
                       std::string flag, std::optional<std::string> defaultValue = std::nullopt,
                       std::optional<std::vector<std::string>> allowedValues = std::nullopt) {
  return {std::move(key), std::move(title), std::move(environment),  std::move(flag),
          std::nullopt,   std::nullopt,     std::move(defaultValue), std::move(allowedValues),
          std::nullopt};
}

SettingDefinition boolean(std::string key, std::string title, std::string environment,
                          std::string onFlag, std::string offFlag, std::string defaultValue) {
  return {std::move(key),    std::move(title),   std::move(environment),  std::nullopt,
          std::move(onFlag), std::move(offFlag), std::move(defaultValue), std::nullopt,
          std::nullopt};
}

SettingDefinition count(std::string key, std::string title, std::string environment,
                        std::string flag, std::size_t defaultValue, int minimum, int maximum) {
  SettingDefinition setting = text(std::move(key), std::move(title), std::move(environment),
                                   std::move(flag), std::to_string(defaultValue));
  setting.wholeNumberRange = std::pair{minimum, maximum};
  return setting;
}

std::vector<SettingDefinition> makeTable() {
  return {
      text("identity", "Developer ID Application", "BOSUN_IDENTITY", "identity"),
      text("installerIdentity", "Developer ID Installer", "BOSUN_INSTALLER_IDENTITY",
           "installer-identity"),
      text("keychainProfile", "Notary keychain profile", "BOSUN_KEYCHAIN_PROFILE", "profile"),
      text("apiKeyPath", "API key file (.p8)", "BOSUN_API_KEY_PATH", "key"),
      text("apiKeyID", "API key ID", "BOSUN_API_KEY_ID", "key-id"),
      text("apiIssuer", "API issuer ID", "BOSUN_API_ISSUER", "issuer"),
      text("format", "Output format", "BOSUN_FORMAT", "format", "dmg", outputKindValues()),
      text("output", "Output location", "BOSUN_OUTPUT", "output"),
      text("window", "DMG window size", "BOSUN_WINDOW", "window", "compact",
           rawValues(InstallerWindowPresets::allCases)),
      text("compression", "DMG compression", "BOSUN_COMPRESSION", "compression", "zlib",
           rawValues(halyard::DMGCompressionFormats::allCases)),
      text("arrow", "DMG arrow symbol", "BOSUN_ARROW", "arrow", "arrow.right"),
      boolean("sign", "Sign the app", "BOSUN_SIGN", "sign", "no-sign", "true"),
      boolean("notarize", "Notarize and staple", "BOSUN_NOTARIZE", "notarize", "no-notarize",
              "true"),
      text("notaryWait", "Notarization wait (seconds)", "BOSUN_NOTARY_WAIT", "notary-wait", "900"),
      boolean("notarizeApp", "Notarize the app bundle first", "BOSUN_NOTARIZE_APP", "notarize-app",
              "no-notarize-app", "false"),
      text("appBundle", "App bundle (notarize, staple or off)", "BOSUN_APP_BUNDLE", "app-bundle",
           std::nullopt, std::vector<std::string>{"notarize", "staple", "off"}),
      boolean("skipMissingTicket", "Skip the app if Apple has no ticket",
              "BOSUN_SKIP_MISSING_TICKET", "skip-missing-ticket", "no-skip-missing-ticket", "true"),
      boolean("deepVerify", "Deep signature verification", "BOSUN_DEEP", "deep", "no-deep",
              "false"),
      count("signingJobs", "Nested items signed at once", "BOSUN_SIGNING_JOBS", "jobs",
            halyard::NestedSigningScheduler::defaultJobs(), 1, SettingDefinition::mostSigningJobs),
      boolean("modernDiskTools", "Modern disk image tools", "BOSUN_MODERN_DISK_TOOLS", "modern",
              "legacy", "false"),
      boolean("reversed", "Reversed DMG layout", "BOSUN_REVERSED", "reversed", "no-reversed",
              "false"),
      boolean("volumeIcon", "Volume icon from the app", "BOSUN_VOLUME_ICON", "volume-icon",
              "no-volume-icon", "false"),
      text("appcast", "Update feed (appcast) file", "BOSUN_APPCAST", "appcast"),
      text("downloadURL", "Download folder URL for the feed", "BOSUN_DOWNLOAD_URL", "download-url"),
      text("edKeyFile", "Ed25519 update key file", "BOSUN_ED_KEY_FILE", "ed-key-file"),
  };
}

} // namespace

const std::vector<SettingDefinition>& SettingDefinition::all() {
  static const std::vector<SettingDefinition> table = makeTable();
  return table;
}

const SettingDefinition* SettingDefinition::find(std::string_view key) {
  for (const SettingDefinition& setting : all()) {
    if (setting.key == key) return &setting;
  }
  return nullptr;
}

} // namespace bosun
