#include "cli/release/ReleasePlan.hpp"

#include <algorithm>
#include <system_error>

#include "cli/console/CLIError.hpp"
#include "cli/settings/StandardizedPath.hpp"
#include "core/Appcast/AppcastItem.hpp"
#include "core/Appcast/EdSigningKey.hpp"
#include "core/DMG/InstallerWindowPreset.hpp"
#include "core/Support/SHA256.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace fs = std::filesystem;

namespace {

// The longest file name (in bytes) that the file systems bosun writes to allow.
constexpr size_t maximumNameBytes = 255;

// The name without its last extension ("MyApp.dmg" gives "MyApp"); a name that only starts with
// a dot keeps it.
std::string deletingPathExtension(const std::string& name) {
  const size_t slash = name.rfind('/');
  const size_t componentStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot <= componentStart || dot + 1 == name.size()) return name;
  return name.substr(0, dot);
}

// True when `path` is `container` or lies inside it (compared component by component).
bool isWithin(const fs::path& path, const fs::path& container) {
  auto inner = path.begin();
  for (auto outer = container.begin(); outer != container.end(); ++outer, ++inner) {
    if (inner == path.end() || *inner != *outer) return false;
  }
  return true;
}

// The path with every link that exists resolved (a release folder's link into the app shows
// where it really leads).
fs::path resolved(const fs::path& path) {
  std::error_code error;
  const fs::path real = fs::weakly_canonical(path, error);
  return error ? path : real;
}

// The finished file's path is the one line a script reads from standard output, and its name
// must fit the file system: both are checked before any work is done.
void refuseUnusableOutputName(const fs::path& output) {
  const std::string path = output.string();
  if (std::any_of(path.begin(), path.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
      })) {
    throw CLIError(ExitCode::input,
                   "The output " + halyard::text::printable(path) +
                       " holds a line break or another control character.",
                   "Choose another --output / --name.");
  }
  if (output.filename().string().size() > maximumNameBytes) {
    throw CLIError(ExitCode::input,
                   "The output name " + output.filename().string() + " is longer than " +
                       std::to_string(maximumNameBytes) + " bytes, which the file system allows.",
                   "Choose a shorter --output / --name.");
  }
}

const char* kNoIdentityHint = "Run `bosun setup`, pass --identity \"Developer ID Application: Name "
                              "(TEAMID)\", or add --no-sign --no-notarize.";

const char* kKeyInsteadOfPath =
    "--ed-key-file takes the path of a file that holds the key, not the key itself.";

// The update feed: a feed file (relative to the release folder, like the output), the https
// folder the file will be served from, and the key file (relative to the current folder, like
// the API key file). Without a feed the other two are not examined.
void addUpdateFeed(ReleasePlan& plan, const ConfigurationResolver& configuration,
                   const fs::path& home) {
  const auto feed = configuration.value("appcast");
  if (!feed) return;
  plan.appcast = standardizedPath(*feed, plan.project.folder, home);
  plan.downloadURL = configuration.value("downloadURL");
  if (!plan.downloadURL) {
    throw CLIError(ExitCode::configuration,
                   "--appcast needs --download-url, the folder the file will be served from.",
                   "Pass --download-url https://example.com/downloads/ (the file's name is "
                   "added to it).");
  }
  if (!halyard::AppcastItem::isDownloadFolderURL(*plan.downloadURL)) {
    throw CLIError(ExitCode::configuration,
                   "The download URL must be an https:// folder address (no spaces, ? or #).",
                   "Got \"" + *plan.downloadURL + "\".");
  }
  if (const auto keyFile = configuration.value("edKeyFile")) {
    // A key typed in place of its file's path would be shown as a path everywhere.
    if (halyard::EdSigningKey::isKeyText(*keyFile)) {
      throw CLIError(ExitCode::credentials, kKeyInsteadOfPath,
                     "Save the key in a file only you can read and pass its path.");
    }
    plan.edKeyFile = standardizedPath(*keyFile, fs::current_path(), home);
  }
}

} // namespace

ReleasePlan ReleasePlan::make(const ProjectFolder& project,
                              const ConfigurationResolver& configuration,
                              const ParsedArguments& arguments) {
  return make(project, configuration, arguments, halyard::UserFolders::home());
}

ReleasePlan ReleasePlan::make(const ProjectFolder& project,
                              const ConfigurationResolver& configuration,
                              const ParsedArguments& arguments, const fs::path& home) {
  ReleasePlan plan;
  plan.project = project;

  plan.format = configuration.format();
  const std::string extension(fileExtension(plan.format));
  const std::string formatName(displayName(plan.format));

  const auto name = arguments.value("name");
  // A name, not a path: "--name ../Other" would write outside the chosen folder.
  if (name && (name->find('/') != std::string::npos || *name == "." || *name == "..")) {
    throw CLIError(ExitCode::usage,
                   "--name takes a file name, not a path: " + halyard::text::printable(*name),
                   "Use --output to choose the folder.");
  }
  const std::string baseName = halyard::text::trimmed(name ? deletingPathExtension(*name)
                                                           : project.folder.filename().string());
  if (baseName.empty()) throw CLIError(ExitCode::usage, "--name cannot be empty.");

  if (const auto output = configuration.value("output")) {
    const fs::path location = standardizedPath(*output, project.folder, home);
    const std::string outputExtension = lowerCasedPathExtension(location);
    if (outputExtension == "dmg" || outputExtension == "pkg") {
      if (outputExtension != extension) {
        throw CLIError(ExitCode::usage, "The output " + location.filename().string() +
                                            " does not match the " + formatName + " format.");
      }
      plan.outputURL = location;
    } else {
      plan.outputURL = location / (baseName + "." + extension);
    }
  } else {
    plan.outputURL = project.folder / (baseName + "." + extension);
  }
  plan.outputURL = plan.outputURL.lexically_normal();
  plan.artifactName = plan.outputURL.filename().string();
  refuseUnusableOutputName(plan.outputURL);

  plan.sign = configuration.boolean("sign");
  plan.notarize = configuration.boolean("notarize");

  if (const auto mode = configuration.value("appBundle")) {
    plan.notarizeApp = *mode == "notarize";
    plan.stapleApp = *mode == "staple";
  } else {
    plan.notarizeApp = configuration.boolean("notarizeApp");
    plan.stapleApp = false;
  }

  plan.identity = configuration.value("identity");
  plan.installerIdentity = configuration.value("installerIdentity");

  if (plan.notarize) {
    plan.credentials = configuration.credentials();
    if (!plan.sign) {
      throw CLIError(ExitCode::configuration, "Notarization needs a signed app.",
                     "Remove --no-sign, or add --no-notarize to only build the " + formatName +
                         ".");
    }
    if (!plan.identity) {
      throw CLIError(ExitCode::credentials, "No Developer ID Application identity is configured.",
                     kNoIdentityHint);
    }
    if (!plan.credentials) {
      throw CLIError(ExitCode::credentials, "No notarization credentials are configured.",
                     "Run `bosun setup`, pass --profile <keychain profile> or "
                     "--key/--key-id/--issuer, or add --no-notarize.");
    }
    if (plan.format == OutputKind::pkg && !plan.installerIdentity) {
      throw CLIError(ExitCode::credentials,
                     "Notarizing a PKG needs a Developer ID Installer identity.",
                     "Pass --installer-identity \"Developer ID Installer: Name (TEAMID)\" or run "
                     "`bosun setup`.");
    }
  } else {
    if (plan.notarizeApp) {
      throw CLIError(ExitCode::configuration, "--notarize-app needs notarization turned on.");
    }
    if (plan.stapleApp) {
      throw CLIError(ExitCode::configuration, "--app-bundle staple needs notarization turned on.");
    }
    plan.credentials = std::nullopt;
    if (plan.sign && !plan.identity) {
      throw CLIError(ExitCode::credentials, "No Developer ID Application identity is configured.",
                     kNoIdentityHint);
    }
  }

  plan.overwrite = arguments.hasFlag("overwrite") || arguments.hasFlag("yes");

  // The build writes the result in place, so it must never land inside the user's app, which is
  // only ever copied.
  if (isWithin(plan.outputURL, project.appSource) ||
      isWithin(resolved(plan.outputURL), resolved(project.appSource))) {
    throw CLIError(ExitCode::input,
                   "The output " + plan.outputURL.string() + " is inside " +
                       project.appSource.filename().string() + ", which is never changed.",
                   "Choose another --output / --name.");
  }

  std::error_code error;
  const auto status = fs::symlink_status(plan.outputURL, error);
  if (fs::exists(status)) {
    // --overwrite replaces a file; a folder in its place is never removed.
    if (fs::is_directory(status)) {
      throw CLIError(ExitCode::input, plan.outputURL.string() + " is a folder.",
                     "Choose another --output / --name.");
    }
    if (!plan.overwrite) {
      throw CLIError(ExitCode::input, plan.outputURL.string() + " already exists.",
                     "Add --overwrite to replace it, or choose another --output / --name.");
    }
  }

  plan.notaryWait = configuration.notaryWait();
  plan.skipMissingTicket = configuration.boolean("skipMissingTicket");
  plan.deepVerify = configuration.boolean("deepVerify");
  plan.signingJobs = configuration.signingJobs();
  plan.modernDiskTools = configuration.boolean("modernDiskTools");
  plan.reversed = configuration.boolean("reversed");
  plan.window = configuration.windowPreset();
  plan.compression = configuration.compression();
  plan.arrow = configuration.value("arrow").value_or("arrow.right");
  plan.volumeIcon = plan.format == OutputKind::dmg && configuration.boolean("volumeIcon");
  addUpdateFeed(plan, configuration, home);
  return plan;
}

halyard::DMGBuildRequest ReleasePlan::dmgBuildRequest() const {
  halyard::DMGBuildRequest request;
  request.dmgName = std::filesystem::path(artifactName).stem().string();
  request.arrowSymbol = arrow;
  request.isReversed = reversed;
  const auto size = halyard::windowSize(window);
  request.installerWindowSize = {size.width, size.height};
  request.exportLabelPillEnabled = true;
  request.exportLabelPillColor = halyard::CodableColor::white();
  request.exportLabelTextColor = halyard::CodableColor::black();
  request.compression = compression;
  return request;
}

std::vector<ReleaseStep> ReleasePlan::decidedSteps() const {
  using Action = ReleaseStep::Action;
  std::vector<ReleaseStep> result;
  const auto add = [&result](Action action, std::string description) {
    result.push_back({action, std::move(description)});
  };
  add(Action::copyApp, "Copy " + project.appSource.filename().string() +
                           " into a temporary workspace" +
                           (project.isZip ? " and extract it" : ""));

  if (sign && !stapleApp) {
    add(Action::signApp, "Sign the app with " + identity.value_or("-"));
    if (deepVerify) add(Action::verifyApp, "Verify the signature (deep, strict)");
  }
  if (notarizeApp) add(Action::notarizeApp, "Notarize and staple the app bundle");
  if (stapleApp) {
    add(Action::stapleAppTicket,
        skipMissingTicket ? "Keep the app's signature and staple the ticket Apple already has "
                            "(skipped if there is none)"
                          : "Keep the app's signature and staple the ticket Apple already has "
                            "(notarize the app if there is none)");
  }

  if (format == OutputKind::pkg) {
    add(Action::build, "Build " + artifactName + " (installs to /Applications)");
  } else {
    const std::string design = project.templateURL
                                   ? "template " + project.templateURL->filename().string()
                                   : "the default Halyard style";
    add(Action::build, "Build " + artifactName + " (" + std::string(rawValue(window)) +
                           " window, " + std::string(halyard::title(compression)) +
                           " compression, " + design + ")");
    if (volumeIcon) add(Action::volumeIcon, "Show the app's icon (.icns) on the volume");
  }

  if (!project.legalDocuments.empty()) {
    add(Action::licenseAgreement,
        "Add the license agreement from " + fileNamesJoined(project.legalDocuments));
  }

  if (notarize) {
    add(Action::notarize, "Sign, notarize, staple and validate " + artifactName + " using " +
                              (credentials ? credentials->displayName() : "-"));
  } else if (sign && format == OutputKind::dmg) {
    add(Action::signFile, "Sign " + artifactName);
  }
  add(Action::check, "Check signing, notarization and stapling");
  if (appcast) {
    add(Action::updateFeed, "Sign " + artifactName + " with the Ed25519 update key (" +
                                (edKeyFile ? edKeyFile->filename().string() : "login keychain") +
                                ") and add it to " + appcast->filename().string() +
                                ", served from " + downloadURL.value_or("-"));
  }
  return result;
}

std::vector<std::string> ReleasePlan::steps() const {
  std::vector<std::string> result;
  for (auto& step : decidedSteps())
    result.push_back(std::move(step.description));
  return result;
}

std::string ReleasePlan::inputsDigest() const {
  std::string text;
  for (const auto& step : steps())
    text += step + "\n";
  text += "arrow " + arrow + "\nreversed " + (reversed ? "yes" : "no") + "\n";
  text += "app " + halyard::SHA256::hexDigestOfTree(project.appSource) + "\n";
  if (project.templateURL)
    text += "template " + halyard::SHA256::hexDigestOfTree(*project.templateURL) + "\n";
  for (const auto& document : project.legalDocuments)
    text += "license " + halyard::SHA256::hexDigestOfTree(document) + "\n";
  return halyard::SHA256::hexDigest(text);
}

} // namespace bosun
