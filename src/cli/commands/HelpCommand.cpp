#include "cli/commands/HelpCommand.hpp"

#include "BosunVersion.hpp"
#include "cli/commands/BosunMain.hpp"
#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/settings/SettingDefinition.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

// clang-format off
constexpr std::string_view kGeneralHelp = R"TEXT(Bosun - sign, notarize and staple your Mac app as a DMG or PKG, from Terminal.

Usage: bosun <command> [options]

Commands:
{commands}
Global options:
  --json            Machine-readable JSON lines on stdout (progress, errors, summary)
  -v, --verbose     Show every step and the output of the tools Bosun runs
  -q, --quiet       Only print results and errors
  --no-color        Plain text output
  -y, --yes         Never ask questions; implies --overwrite for start
  --config <file>   Use another user config file
  -h, --help        Show help for any command
  --version         Show the Bosun version

Run `bosun help start` for the release options.)TEXT";

constexpr std::string_view kStartUsage = R"TEXT(Usage: bosun start [folder | app | zip] [options]

The folder needs one .app (or one .zip with an app). Optional in the same folder:
  - one Designer template (.hyd) from Halyard: the DMG uses its design
  - license documents, as .rtf, .rtfd, .docx, .doc, .odt, .html, .md, .txt or .pdf.
    The file name decides the section: "privacy" = Privacy Policy, "terms" or
    "conditions" = Terms & Conditions, "eula", "license", "legal" or "agreement" =
    License Agreement (for example legal.rtf, MyApp License.pdf, privacy-policy.md).
    Add a language with _<code>, for example eula_fr-FR.pdf. No code = English.
  - bosun.json: project settings (same keys as the user config)
Without a template, the DMG looks exactly like a Halyard export without a template.
The original app is never changed: Bosun works on a copy.

Output:
  -o, --output <path>        Folder or file for the result (default: the input folder)
  --name <name>              File name without extension (default: the folder name)
  -f, --format dmg|pkg       What to build (default: dmg)
  --overwrite                Replace an existing output file
  --dry-run                  Show the plan and exit without changing anything
  --preview <file.png>       With --dry-run: also draw the DMG's window as a picture

Signing and notarization:
  --identity <name>          Developer ID Application identity
  --installer-identity <n>   Developer ID Installer identity (PKG)
  --profile <name>           notarytool keychain profile
  --key <file.p8> --key-id <id> [--issuer <uuid>]   App Store Connect API key
  --sign / --no-sign         Sign the app (default: on)
  --notarize / --no-notarize Notarize and staple the DMG/PKG (default: on)
  --notarize-app             Also notarize and staple the app bundle first
  --notary-wait <seconds>    Longest wait for Apple's verdict (default: 900)
  --app-bundle notarize|staple|off   What to do with the app bundle first
                             (staple = keep the app's signature and attach the
                             ticket Apple already has, for apps already notarized)
  --skip-missing-ticket / --no-skip-missing-ticket
                             With staple: if Apple has no ticket, leave the app as
                             it is (default) or notarize it instead
  --deep / --no-deep         Deep, strict signature verification after signing
  --jobs <n>                 Sign up to n pieces of nested code at once (default:
                             the number of processors, at most 8; 1 = one by one)

DMG layout:
  --template <file.hyd> | --no-template
  --window compact|small|balanced|large|standard   (default: compact, 960 × 600)
  --compression zlib|lzfse|lzma   (default: zlib; lzfse needs macOS 10.11+, lzma 10.15+)
  --arrow <SF Symbol>        Arrow between the app and Applications (default: arrow.right)
  --reversed                 Applications on the left
  --volume-icon / --no-volume-icon   Show the app's icon (.icns) on the mounted
                             volume (default: off)
  --modern / --legacy        Disk image tools (modern = diskutil image, macOS 27+)
  --app <name>               Pick the app when the folder has several
  --no-license               Ignore license documents in the folder

Update feed (for apps that update themselves from an appcast):
  --appcast <feed.xml>       After a successful release, add the file to this feed
                             (created if missing; relative to the release folder)
  --download-url <https URL> The folder the file will be served from
  --ed-key-file <file>       The Ed25519 private key (Base64); default: the key the
                             updater's key tool keeps in your login keychain

stdout gets the path of the finished file; progress and checks go to stderr.)TEXT";

constexpr std::string_view kNotarizeUsage = R"TEXT(Usage: bosun notarize <file.dmg | file.pkg> [options]

Signs, notarizes, staples and validates an existing DMG or PKG, then checks it.
The file is updated in place unless you pass --output.

  --identity <name>            Developer ID Application (DMG)
  --installer-identity <name>  Developer ID Installer (PKG)
  --profile <name> or --key/--key-id/--issuer   Notarization credentials
  --no-sign                    Keep the file's current signature
  -o, --output <path>          Notarize a copy at this path instead
  --overwrite                  Replace an existing copy at --output
  --notary-wait <seconds>      Longest wait for Apple's verdict (default: 900)
  --submission <id>            Collect an earlier submission instead of uploading

Exit code 0 when everything passed. See `bosun help exit-codes`.)TEXT";

constexpr std::string_view kInspectUsage = R"TEXT(Usage: bosun inspect <file.dmg | file.pkg> [--json] [--verbose] [--preview <file.png>]

Mounts or expands the file read-only and reports signing, Gatekeeper, notarization,
stapling, contents and installer scripts, with a trust score. --preview also draws
a DMG's window as the Finder will show it (from its .DS_Store, or the Finder's defaults).
Exit code 0 when no check failed, 14 when at least one did.)TEXT";

constexpr std::string_view kVerifyUsage = R"TEXT(Usage: bosun verify <file.app | file.dmg | file.pkg> [--deep] [--json]

Checks signing, notarization and stapling. --deep adds a deep, strict signature
verification for apps. Exit code 0 when everything passed, 14 otherwise.)TEXT";

constexpr std::string_view kDoctorUsage = R"TEXT(Usage: bosun doctor [folder] [--offline] [--json]

Checks the macOS tools Bosun needs, your signing identities and notarization
credentials (with Apple, unless --offline), and lists every effective setting
with the place it came from. Pass a folder to include its bosun.json.)TEXT";

constexpr std::string_view kSetupUsage = R"TEXT(Usage: bosun setup [options]

Without options, asks a few questions in Terminal. On first setup it offers to
reuse Halyard's settings when they are found.

  --identity, --installer-identity, --profile, --key, --key-id, --issuer,
  --format, --window, --output, --arrow, --deep, --notarize-app, ...
                            Save these values without questions
  --import-halyard          Copy Halyard's identities, profile and defaults
  --create-profile <name> [--apple-id <email>] [--team-id <id>]
                            Create a notarytool keychain profile (notarytool asks
                            for the app-specific password; Bosun never sees it)
  --show                    Print the saved configuration
  --reset                   Delete the saved configuration

Halyard's settings are read from ~/Library/Preferences/com.halyard.Halyard.plist,
else ~/Library/Preferences/com.halyard.Halyard.Store.plist. An empty value
(--profile "") removes that setting from the file.

Secrets are never written to the config file: passwords stay in your keychain,
API keys stay in their .p8 file.)TEXT";

constexpr std::string_view kUpdateUsage = R"TEXT(Usage: bosun update [--check]

Downloads and installs the newest Bosun after checking that this Mac can run it,
that the download matches its checksum and that it is signed by the Halyard developer.
--check only tells you whether an update exists.

Bosun also shows a one-line notice in Terminal when a newer version is out (checked
at most once a day). Set BOSUN_NO_UPDATE_CHECK=1 to turn the notice off.
If Bosun lives in a folder that needs administrator rights, run `sudo bosun update`
or update it from Halyard Settings > Bosun.

Exit status: 0 when Bosun is up to date, was updated, or --check found an update;
1 when the update isn't offered for this Mac, this copy can't replace itself or the
update server can't be reached; 10 when the download doesn't match its checksum or
isn't signed by the Halyard developer.)TEXT";

constexpr std::string_view kConfigurationHeader = R"TEXT(Settings come from, in this order (first one wins):
  1. command-line flags
  2. environment variables
  3. bosun.json in the project folder
  4. the user config (~/.config/bosun/config.json, or $XDG_CONFIG_HOME/bosun)
  5. built-in defaults

Keys and environment variables:)TEXT";
// clang-format on

constexpr std::string_view kConfigurationFooter =
    "\n\n`bosun doctor` shows the value and source of every setting.";

std::string paddedRight(std::string_view text, size_t width) {
  std::string result(text);
  if (result.size() < width) result.append(width - result.size(), ' ');
  return result;
}

// The rows of the settings table for `bosun help config`, in table order.
std::vector<ConfigurationHelpRow> configurationRows() {
  std::vector<ConfigurationHelpRow> rows;
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    rows.push_back({setting.key, setting.environment, setting.title});
  }
  return rows;
}

} // namespace

std::string HelpCommand::version() {
  const std::string_view built = kProjectVersion;
  return built.empty() ? std::string("1.0.0") : std::string(built);
}

const std::string& HelpCommand::generalText() {
  static const std::string text = [] {
    std::string listing;
    for (const auto& command : BosunMain::commands())
      listing +=
          "  " + paddedRight(command.synopsis, 17) + " " + std::string(command.summary) + "\n";
    std::string general(kGeneralHelp);
    general.replace(general.find("{commands}"), 10, listing);
    return general + "\nFull guide: " + std::string(kGuideAddress);
  }();
  return text;
}

const std::string& HelpCommand::exitCodeText() {
  static const std::string text = [] {
    std::string result = "Exit codes (stable):\n";
    bool first = true;
    for (ExitCode code : kAllExitCodes) {
      if (!first) result += "\n";
      first = false;
      result += "  " + paddedRight(std::to_string(exitCodeNumber(code)), 4) + " " +
                paddedRight(exitCodeName(code), 14) + " " + std::string(exitCodeSummary(code));
    }
    return result;
  }();
  return text;
}

std::string HelpCommand::configurationText(const std::vector<ConfigurationHelpRow>& rows) {
  std::string result = std::string(kConfigurationHeader) + "\n";
  bool first = true;
  for (const ConfigurationHelpRow& row : rows) {
    if (!first) result += "\n";
    first = false;
    result +=
        "  " + paddedRight(row.key, 18) + " " + paddedRight(row.environment, 26) + " " + row.title;
  }
  result += kConfigurationFooter;
  return result;
}

std::optional<std::string> HelpCommand::text(const std::optional<std::string>& topic) {
  if (!topic) return generalText();
  const std::string name = halyard::text::lowercasedASCII(*topic);
  if (name == "start") return std::string(kStartUsage);
  if (name == "notarize") return std::string(kNotarizeUsage);
  if (name == "inspect") return std::string(kInspectUsage);
  if (name == "verify") return std::string(kVerifyUsage);
  if (name == "doctor") return std::string(kDoctorUsage);
  if (name == "setup") return std::string(kSetupUsage);
  if (name == "update") return std::string(kUpdateUsage);
  if (name == "exit-codes") return exitCodeText();
  if (name == "config" || name == "configuration") {
    static const std::string configuration = configurationText(configurationRows());
    return configuration;
  }
  return std::nullopt;
}

ExitCode HelpCommand::run(const std::optional<std::string>& topic) {
  const std::optional<std::string> chosen = text(topic);
  if (!chosen) {
    Console::shared().failure(
        CLIError(ExitCode::usage, "No help for \"" + *topic + "\".",
                 "Topics: start, notarize, inspect, verify, doctor, setup, update, config, "
                 "exit-codes"));
    return ExitCode::usage;
  }
  Console::shared().result(*chosen);
  return ExitCode::success;
}

} // namespace bosun
