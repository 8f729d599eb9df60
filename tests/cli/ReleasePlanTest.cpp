#include <fstream>

#include <gtest/gtest.h>

#include "cli/CLIError.hpp"
#include "cli/ReleasePlan.hpp"
#include "core/Support/TemporaryFolder.hpp"

using bosun::CLIError;
using bosun::ConfigurationResolver;
using bosun::Environment;
using bosun::ExitCode;
using bosun::OutputKind;
using bosun::ParsedArguments;
using bosun::ProjectFolder;
using bosun::ReleasePlan;
namespace fs = std::filesystem;

namespace {

// A release folder "Releases" with MyApp.app, in a home folder with no user config; plans are
// made with only the given arguments and environment.
class ReleasePlanTest : public ::testing::Test {
protected:
  halyard::TemporaryFolder home{"ReleasePlanTest_"};
  fs::path releases = home.path() / "Releases";

  void SetUp() override { fs::create_directories(releases / "MyApp.app" / "Contents"); }

  void file(const fs::path& path) { std::ofstream(path) << "x"; }

  ReleasePlan make(std::vector<std::string> arguments,
                   std::map<std::string, std::string, std::less<>> variables = {}) {
    arguments.insert(arguments.begin(), "start");
    const ParsedArguments parsed(arguments);
    variables["HOME"] = home.path().string();
    const ProjectFolder project =
        ProjectFolder::resolve(releases.string(), parsed, releases, home.path());
    const ConfigurationResolver configuration(parsed, project.folder, Environment{variables});
    return ReleasePlan::make(project, configuration, parsed, home.path());
  }

  CLIError failure(std::vector<std::string> arguments, ExitCode code,
                   std::map<std::string, std::string, std::less<>> variables = {}) {
    try {
      make(std::move(arguments), std::move(variables));
    } catch (const CLIError& error) {
      EXPECT_EQ(error.code(), code) << error.message();
      return error;
    }
    ADD_FAILURE() << "planned without error";
    return CLIError(ExitCode::success, "");
  }
};

const std::vector<std::string> kUnsigned = {"--no-sign", "--no-notarize"};
const std::vector<std::string> kNotarized = {"--identity", "Developer ID Application: A (T)",
                                             "--profile", "notary"};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
  base.insert(base.end(), more.begin(), more.end());
  return base;
}

} // namespace

TEST_F(ReleasePlanTest, TheOutputIsNamedAfterTheFolderOrTheNameAndPlacedByTheOutputSetting) {
  auto plan = make(kUnsigned);
  EXPECT_EQ(plan.outputURL, releases / "Releases.dmg");
  EXPECT_EQ(plan.artifactName, "Releases.dmg");

  EXPECT_EQ(make(with(kUnsigned, {"--name", " MyApp.dmg "})).outputURL, releases / "MyApp.dmg");
  EXPECT_EQ(make(with(kUnsigned, {"--name", "My.App 2.0.pkg"})).artifactName, "My.App 2.0.dmg");

  // A relative output is taken from the release folder; an output without a known extension is
  // a folder.
  plan = make(with(kUnsigned, {"--output", "out/", "--format", "pkg"}));
  EXPECT_EQ(plan.format, OutputKind::pkg);
  EXPECT_EQ(plan.outputURL, releases / "out" / "Releases.pkg");
  EXPECT_EQ(make(with(kUnsigned, {"--output", "~/Desktop"})).outputURL,
            home.path() / "Desktop" / "Releases.dmg");
  EXPECT_EQ(make(kUnsigned, {{"BOSUN_OUTPUT", "../Final.DMG"}}).outputURL,
            home.path() / "Final.DMG");
  EXPECT_EQ(make(with(kUnsigned, {"--output", "v1.2"})).outputURL,
            releases / "v1.2" / "Releases.dmg");

  auto error = failure(with(kUnsigned, {"--name", "  "}), ExitCode::usage);
  EXPECT_EQ(error.message(), "--name cannot be empty.");
  EXPECT_EQ(error.hint(), std::nullopt);
  error = failure(with(kUnsigned, {"--output", "Release.dmg", "--format", "pkg"}), ExitCode::usage);
  EXPECT_EQ(error.message(), "The output Release.dmg does not match the PKG format.");
  EXPECT_EQ(error.hint(), std::nullopt);
}

TEST_F(ReleasePlanTest, NotarizationNeedsSigningAnIdentityCredentialsAndForAPKGAnInstaller) {
  auto error = failure({"--no-sign"}, ExitCode::configuration);
  EXPECT_EQ(error.message(), "Notarization needs a signed app.");
  EXPECT_EQ(error.hint(), "Remove --no-sign, or add --no-notarize to only build the DMG.");

  error = failure({"--profile", "notary"}, ExitCode::credentials);
  EXPECT_EQ(error.message(), "No Developer ID Application identity is configured.");
  EXPECT_EQ(error.hint(), "Run `bosun setup`, pass --identity \"Developer ID Application: Name "
                          "(TEAMID)\", or add --no-sign --no-notarize.");

  error = failure({"--identity", "Developer ID Application: A (T)"}, ExitCode::credentials);
  EXPECT_EQ(error.message(), "No notarization credentials are configured.");
  EXPECT_EQ(error.hint(), "Run `bosun setup`, pass --profile <keychain profile> or "
                          "--key/--key-id/--issuer, or add --no-notarize.");

  error = failure(with(kNotarized, {"--format", "pkg"}), ExitCode::credentials);
  EXPECT_EQ(error.message(), "Notarizing a PKG needs a Developer ID Installer identity.");
  EXPECT_EQ(error.hint(), "Pass --installer-identity \"Developer ID Installer: Name (TEAMID)\" or "
                          "run `bosun setup`.");

  // Credential errors of the settings come first, even before the signing check.
  error = failure({"--no-sign", "--key", "k.p8"}, ExitCode::credentials);
  EXPECT_EQ(error.message(),
            "An App Store Connect API key needs both the key file and the key ID.");

  const auto plan = make(with(kNotarized, {"--format", "pkg", "--installer-identity", "Inst"}));
  EXPECT_TRUE(plan.sign);
  EXPECT_TRUE(plan.notarize);
  ASSERT_TRUE(plan.credentials.has_value());
  EXPECT_EQ(plan.credentials->displayName(), "keychain profile \"notary\"");
  EXPECT_EQ(plan.installerIdentity, "Inst");
}

TEST_F(ReleasePlanTest, WithoutNotarizationTheAppBundleModesAndCredentialsAreChecked) {
  // Unsigned and not notarized: no identity needed, and a broken key setting is not examined.
  const auto plan = make(with(kUnsigned, {"--key", "missing.p8", "--key-id", "K"}));
  EXPECT_FALSE(plan.sign);
  EXPECT_FALSE(plan.notarize);
  EXPECT_EQ(plan.credentials, std::nullopt);

  auto error = failure({"--no-notarize"}, ExitCode::credentials);
  EXPECT_EQ(error.message(), "No Developer ID Application identity is configured.");

  error = failure(with(kUnsigned, {"--app-bundle", "staple"}), ExitCode::configuration);
  EXPECT_EQ(error.message(), "--app-bundle staple needs notarization turned on.");
  EXPECT_EQ(error.hint(), std::nullopt);
  error = failure(with(kUnsigned, {"--notarize-app"}), ExitCode::configuration);
  EXPECT_EQ(error.message(), "--notarize-app needs notarization turned on.");

  // The app-bundle setting wins over --notarize-app.
  EXPECT_FALSE(make(with(kUnsigned, {"--app-bundle", "off", "--notarize-app"})).notarizeApp);
  const auto staple = make(with(kNotarized, {"--app-bundle", "STAPLE"}));
  EXPECT_TRUE(staple.stapleApp);
  EXPECT_FALSE(staple.notarizeApp);
}

TEST_F(ReleasePlanTest, AnExistingResultIsReplacedOnlyWhenAskedAndNeverAFolderOrTheApp) {
  file(releases / "Releases.dmg");
  auto error = failure(kUnsigned, ExitCode::input);
  EXPECT_EQ(error.message(), (releases / "Releases.dmg").string() + " already exists.");
  EXPECT_EQ(error.hint(), "Add --overwrite to replace it, or choose another --output / --name.");
  EXPECT_TRUE(make(with(kUnsigned, {"--overwrite"})).overwrite);
  EXPECT_TRUE(make(with(kUnsigned, {"--yes"})).overwrite);

  // A link to nothing is something in the way too.
  fs::create_symlink(home.path() / "gone", releases / "Linked.dmg");
  EXPECT_EQ(failure(with(kUnsigned, {"--name", "Linked"}), ExitCode::input).message(),
            (releases / "Linked.dmg").string() + " already exists.");

  fs::create_directory(releases / "Folder.dmg");
  error = failure(with(kUnsigned, {"--name", "Folder", "--overwrite"}), ExitCode::input);
  EXPECT_EQ(error.message(), (releases / "Folder.dmg").string() + " is a folder.");

  error = failure(with(kUnsigned, {"--output", "MyApp.app/Contents"}), ExitCode::input);
  EXPECT_EQ(error.message(), "The output " +
                                 (releases / "MyApp.app/Contents/Releases.dmg").string() +
                                 " is inside MyApp.app, which is never changed.");
}

TEST_F(ReleasePlanTest, TheRemainingSettingsComeFromTheConfiguration) {
  const auto plan = make(with(kUnsigned, {"--window", "Large", "--compression", "lzma", "--deep",
                                          "--modern", "--reversed", "--skip-missing-ticket"}));
  EXPECT_EQ(plan.window, bosun::InstallerWindowPreset::large);
  EXPECT_EQ(plan.compression, halyard::DMGCompressionFormat::lzma);
  EXPECT_TRUE(plan.deepVerify && plan.modernDiskTools && plan.reversed && plan.skipMissingTicket);
  EXPECT_EQ(plan.arrow, "arrow.right");
  EXPECT_EQ(make(with(kUnsigned, {"--arrow", "chevron.right"})).arrow, "chevron.right");
}

TEST_F(ReleasePlanTest, StepsOfASignedNotarizedDMGWithTemplateAndLicenses) {
  file(releases / "design.hyd");
  file(releases / "license.rtf");
  file(releases / "Terms_fr-FR.md");
  const auto plan =
      make(with(kNotarized, {"--deep", "--window", "balanced", "--compression", "lzfse"}));
  EXPECT_EQ(plan.steps(),
            (std::vector<std::string>{
                "Copy MyApp.app into a temporary workspace",
                "Sign the app with Developer ID Application: A (T)",
                "Verify the signature (deep, strict)",
                "Build Releases.dmg (balanced window, LZFSE compression, template design.hyd)",
                "Add the license agreement from license.rtf, Terms_fr-FR.md",
                "Sign, notarize, staple and validate Releases.dmg using keychain profile "
                "\"notary\"",
                "Check signing, notarization and stapling",
            }));
}

TEST_F(ReleasePlanTest, StepsFollowTheAppBundleModeAndTheFormat) {
  file(releases / "MyApp.zip");
  fs::remove_all(releases / "MyApp.app");
  file(home.path() / "k.p8");
  const auto stapled =
      make(with(kNotarized, {"--app-bundle", "staple", "--format", "pkg", "--installer-identity",
                             "I", "--key", "~/k.p8", "--key-id", "KEY1"}));
  EXPECT_EQ(stapled.steps(),
            (std::vector<std::string>{
                "Copy MyApp.zip into a temporary workspace and extract it",
                "Keep the app's signature and staple the ticket Apple already has (skipped if "
                "there is none)",
                "Build Releases.pkg (installs to /Applications)",
                "Sign, notarize, staple and validate Releases.pkg using App Store Connect API key "
                "KEY1",
                "Check signing, notarization and stapling",
            }));

  const auto notarizedApp =
      make(with(kNotarized, {"--app-bundle", "notarize", "--no-skip-missing-ticket"}));
  EXPECT_EQ(notarizedApp.steps().at(2), "Notarize and staple the app bundle");
  EXPECT_EQ(
      make(with(kNotarized, {"--app-bundle", "staple", "--no-skip-missing-ticket"})).steps().at(1),
      "Keep the app's signature and staple the ticket Apple already has (notarize the app "
      "if there is none)");

  // Signed but not notarized: a DMG is signed after the build, a PKG is not listed as signed.
  const auto signedOnly = make({"--no-notarize", "--identity", "Dev"});
  EXPECT_EQ(signedOnly.steps(),
            (std::vector<std::string>{
                "Copy MyApp.zip into a temporary workspace and extract it",
                "Sign the app with Dev",
                "Build Releases.dmg (compact window, zlib compression, the default Halyard style)",
                "Sign Releases.dmg",
                "Check signing, notarization and stapling",
            }));
  EXPECT_EQ(make(with(kUnsigned, {"--format", "pkg"})).steps(),
            (std::vector<std::string>{
                "Copy MyApp.zip into a temporary workspace and extract it",
                "Build Releases.pkg (installs to /Applications)",
                "Check signing, notarization and stapling",
            }));
}
