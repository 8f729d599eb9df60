#include "cli/settings/HalyardSettingsImporter.hpp"

#include "cli/release/InstallerWindowPreset.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace {

// Text values trimmed; empty text counts as absent.
std::optional<std::string> textValue(plist_t root, const char* key) {
  auto value = halyard::PropertyList::string(root, key);
  if (!value) return std::nullopt;
  std::string trimmed = halyard::text::trimmed(*value);
  if (trimmed.empty()) return std::nullopt;
  return trimmed;
}

// How the desktop app's values become settings:
//
//   preference key                      setting            rule
//   keel.signingIdentity                identity           text
//   keel.installerSigningIdentity       installerIdentity  text
//   keel.notaryMethod                   (credentials)      "apiKey": the three API-key keys,
//                                                          anything else: the profile
//   keel.notaryProfile                  keychainProfile    text
//   keel.notaryAPIKeyPath/ID/Issuer     apiKeyPath/ID/apiIssuer  text
//   Halyard.DeepVerifyExport            deepVerify         boolean
//   Halyard.NotarizeApplicationBundle   notarizeApp        boolean
//   Halyard.AppBundleMode               appBundle          notarizeAndStaple -> notarize,
//                                                          stapleOnly -> staple
//   Halyard.SkipMissingAppTicket        skipMissingTicket  boolean
//   Halyard.UseModernDiskImageTools     modernDiskTools    boolean
//   Halyard.InstallerResolution         window             see the window table below
//   Halyard.DMGCompression              compression        text
//   Halyard.Export.Format               format             text
//
// The app stores its installer window as WIDTH "x" HEIGHT:
//
//   stored value   preset
//   "960x600"      compact
//   "1120x700"     small
//   "1280x800"     balanced
//   "1440x900"     large
//   "1600x1000"    standard
//
// Any other value is not imported.
CLIConfiguration mapped(plist_t root) {
  CLIConfiguration configuration;
  configuration.identity = textValue(root, "keel.signingIdentity");
  configuration.installerIdentity = textValue(root, "keel.installerSigningIdentity");
  if (textValue(root, "keel.notaryMethod") == "apiKey") {
    configuration.apiKeyPath = textValue(root, "keel.notaryAPIKeyPath");
    configuration.apiKeyID = textValue(root, "keel.notaryAPIKeyID");
    configuration.apiIssuer = textValue(root, "keel.notaryAPIIssuer");
  } else {
    configuration.keychainProfile = textValue(root, "keel.notaryProfile");
  }
  using halyard::PropertyList;
  configuration.deepVerify = PropertyList::boolean(root, "Halyard.DeepVerifyExport");
  configuration.notarizeApp = PropertyList::boolean(root, "Halyard.NotarizeApplicationBundle");
  const auto mode = textValue(root, "Halyard.AppBundleMode");
  if (mode == "notarizeAndStaple") configuration.appBundle = "notarize";
  if (mode == "stapleOnly") configuration.appBundle = "staple";
  configuration.skipMissingTicket = PropertyList::boolean(root, "Halyard.SkipMissingAppTicket");
  configuration.modernDiskTools = PropertyList::boolean(root, "Halyard.UseModernDiskImageTools");
  if (const auto window = textValue(root, "Halyard.InstallerResolution")) {
    if (const auto preset = InstallerWindowPresets::fromHalyardValue(*window))
      configuration.window = std::string(rawValue(*preset));
  }
  configuration.compression = textValue(root, "Halyard.DMGCompression");
  configuration.format = textValue(root, "Halyard.Export.Format");
  return configuration;
}

} // namespace

std::vector<std::filesystem::path> HalyardSettingsImporter::domainFiles() {
  std::vector<std::filesystem::path> files;
  for (const char* domain : domains)
    files.push_back(halyard::UserFolders::preferences() / (std::string(domain) + ".plist"));
  return files;
}

std::optional<CLIConfiguration> HalyardSettingsImporter::load() {
  for (const auto& file : domainFiles()) {
    if (auto configuration = read(file)) return configuration;
  }
  return std::nullopt;
}

std::optional<CLIConfiguration>
HalyardSettingsImporter::read(const std::filesystem::path& preferencesFile) {
  const auto list = halyard::PropertyList::readFile(preferencesFile);
  if (!halyard::PropertyList::isDictionary(list.node())) return std::nullopt;
  CLIConfiguration configuration = mapped(list.node());
  if (configuration.isEmpty()) return std::nullopt;
  return configuration;
}

std::string HalyardSettingsImporter::summary(const CLIConfiguration& configuration) {
  std::vector<std::string> parts;
  if (configuration.identity) parts.emplace_back("signing identity");
  if (configuration.installerIdentity) parts.emplace_back("installer identity");
  if (configuration.keychainProfile) parts.emplace_back("keychain profile");
  if (configuration.apiKeyPath || configuration.apiKeyID) parts.emplace_back("API key");
  if (configuration.window || configuration.compression || configuration.format ||
      configuration.appBundle || configuration.notarizeApp || configuration.deepVerify ||
      configuration.skipMissingTicket || configuration.modernDiskTools)
    parts.emplace_back("defaults");
  return halyard::text::joined(parts, ", ");
}

} // namespace bosun
