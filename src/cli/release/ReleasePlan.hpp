#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/release/InstallerWindowPreset.hpp"
#include "cli/release/OutputKind.hpp"
#include "cli/release/ProjectFolder.hpp"
#include "cli/release/ReleaseStep.hpp"
#include "cli/settings/ConfigurationResolver.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "core/DMG/DMGBuildRequest.hpp"
#include "core/DMG/DMGCompressionFormat.hpp"
#include "core/Notarization/NotaryCredentials.hpp"

namespace bosun {

// Everything a release will do, decided and checked before anything is touched: what to build
// and where, what to sign with, whether and how to notarize, and how the DMG looks.
struct ReleasePlan {
  ProjectFolder project;
  OutputKind format = OutputKind::dmg;
  std::string artifactName; // the last component of outputURL
  std::filesystem::path outputURL;
  bool sign = false;
  std::optional<std::string> identity;
  std::optional<std::string> installerIdentity;
  bool notarize = false;
  std::optional<halyard::NotaryCredentials> credentials;
  double notaryWait = 900;  // seconds, the longest wait for the notary service's verdict
  bool notarizeApp = false; // notarize and staple the app bundle before packaging
  bool stapleApp = false;   // keep the app's signature and staple the ticket Apple already has
  bool skipMissingTicket = false;
  bool deepVerify = false;
  std::size_t signingJobs = 1; // nested items signed at once while preparing the app
  bool modernDiskTools = false;
  InstallerWindowPreset window = InstallerWindowPreset::compact;
  halyard::DMGCompressionFormat compression = halyard::DMGCompressionFormat::zlib;
  std::string arrow;
  bool reversed = false;
  bool overwrite = false;
  bool volumeIcon = false; // a DMG whose volume shows the app's icon
  // The update feed the finished file is added to, the https folder it will be served from, and
  // the file holding the Ed25519 key that signs it (none: the key in the login keychain).
  std::optional<std::filesystem::path> appcast;
  std::optional<std::string> downloadURL;
  std::optional<std::filesystem::path> edKeyFile;

  // Combines the project, the settings and the command line. Throws CLIError at the first
  // inconsistency, with a hint naming the option that fixes it.
  static ReleasePlan make(const ProjectFolder& project, const ConfigurationResolver& configuration,
                          const ParsedArguments& arguments);
  // The same with the home folder given (for a leading "~" in the output setting).
  static ReleasePlan make(const ProjectFolder& project, const ConfigurationResolver& configuration,
                          const ParsedArguments& arguments, const std::filesystem::path& home);

  // The DMG build request of this plan before a template styles it: the name, arrow, window,
  // label pills and compression. The build and the preview start from the same one.
  halyard::DMGBuildRequest dmgBuildRequest() const;

  // What the release does, in the order of the run: the one decision of which steps a run with
  // this plan performs (the dry run shows the same list).
  std::vector<ReleaseStep> decidedSteps() const;
  // Their descriptions, one human-readable line each.
  std::vector<std::string> steps() const;

  // A digest of everything the release is made from: the app (its whole tree, or the ZIP), the
  // template, the license documents and the choices that shape the file. Two runs with equal
  // digests make the same file but for its signatures' times. Reads every byte of the app.
  std::string inputsDigest() const;
};

} // namespace bosun
