#include <fstream>

#include <gtest/gtest.h>

#include "cli/console/CLIError.hpp"
#include "cli/release/ReleasePlan.hpp"
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

  // The error's message and hint ("" when none).
  std::pair<std::string, std::string> failure(std::vector<std::string> arguments, ExitCode code) {
    try {
      make(std::move(arguments));
    } catch (const CLIError& error) {
      EXPECT_EQ(error.code(), code) << error.message();
      return {error.message(), error.hint().value_or("")};
    }
    ADD_FAILURE() << "planned without error";
    return {};
  }
};

const std::vector<std::string> kUnsigned = {"--no-sign", "--no-notarize"};
const std::vector<std::string> kNotarized = {"--identity", "Developer ID Application: A (T)",
                                             "--profile", "notary"};

using Failure = std::pair<std::string, std::string>;

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
  base.insert(base.end(), more.begin(), more.end());
  return base;
}

} // namespace

TEST_F(ReleasePlanTest, TheOutputIsNamedAfterTheFolderOrTheNameAndPlacedByTheOutputSetting) {
  EXPECT_EQ(make(kUnsigned).outputURL, releases / "Releases.dmg");
  EXPECT_EQ(make(with(kUnsigned, {"--name", " MyApp.dmg "})).artifactName, "MyApp.dmg");
  EXPECT_EQ(make(with(kUnsigned, {"--name", "My.App 2.0.pkg"})).artifactName, "My.App 2.0.dmg");
  // A relative output is taken from the release folder; without a known extension it is a folder.
  EXPECT_EQ(make(with(kUnsigned, {"--output", "out/", "--format", "pkg"})).outputURL,
            releases / "out" / "Releases.pkg");
  EXPECT_EQ(make(with(kUnsigned, {"--output", "~/Desktop"})).outputURL,
            home.path() / "Desktop" / "Releases.dmg");
  EXPECT_EQ(make(kUnsigned, {{"BOSUN_OUTPUT", "../Final.DMG"}}).outputURL,
            home.path() / "Final.DMG");
  EXPECT_EQ(make(with(kUnsigned, {"--output", "v1.2"})).outputURL,
            releases / "v1.2" / "Releases.dmg");

  EXPECT_EQ(failure(with(kUnsigned, {"--name", "  "}), ExitCode::usage),
            Failure("--name cannot be empty.", ""));
  EXPECT_EQ(
      failure(with(kUnsigned, {"--output", "Release.dmg", "--format", "pkg"}), ExitCode::usage),
      Failure("The output Release.dmg does not match the PKG format.", ""));
}

TEST_F(ReleasePlanTest, NotarizationNeedsSigningAnIdentityCredentialsAndForAPKGAnInstaller) {
  EXPECT_EQ(failure({"--no-sign"}, ExitCode::configuration),
            Failure("Notarization needs a signed app.",
                    "Remove --no-sign, or add --no-notarize to only build the DMG."));
  EXPECT_EQ(failure({"--profile", "notary"}, ExitCode::credentials),
            Failure("No Developer ID Application identity is configured.",
                    "Run `bosun setup`, pass --identity \"Developer ID Application: Name "
                    "(TEAMID)\", or add --no-sign --no-notarize."));
  EXPECT_EQ(failure({"--identity", "Dev"}, ExitCode::credentials),
            Failure("No notarization credentials are configured.",
                    "Run `bosun setup`, pass --profile <keychain profile> or "
                    "--key/--key-id/--issuer, or add --no-notarize."));
  EXPECT_EQ(failure(with(kNotarized, {"--format", "pkg"}), ExitCode::credentials),
            Failure("Notarizing a PKG needs a Developer ID Installer identity.",
                    "Pass --installer-identity \"Developer ID Installer: Name (TEAMID)\" or run "
                    "`bosun setup`."));
  // The settings' own credential errors come first.
  EXPECT_EQ(failure({"--no-sign", "--key", "k.p8"}, ExitCode::credentials).first,
            "An App Store Connect API key needs both the key file and the key ID.");
}

TEST_F(ReleasePlanTest, WithoutNotarizationAppBundleModesFailAndCredentialsAreIgnored) {
  const auto plan = make(with(kUnsigned, {"--key", "missing.p8", "--key-id", "K"}));
  EXPECT_FALSE(plan.sign || plan.notarize);
  EXPECT_EQ(plan.credentials, std::nullopt);
  EXPECT_EQ(failure({"--no-notarize"}, ExitCode::credentials).first,
            "No Developer ID Application identity is configured.");
  EXPECT_EQ(failure(with(kUnsigned, {"--app-bundle", "staple"}), ExitCode::configuration),
            Failure("--app-bundle staple needs notarization turned on.", ""));
  EXPECT_EQ(failure(with(kUnsigned, {"--notarize-app"}), ExitCode::configuration),
            Failure("--notarize-app needs notarization turned on.", ""));
  // The app-bundle setting wins over --notarize-app.
  EXPECT_FALSE(make(with(kUnsigned, {"--app-bundle", "off", "--notarize-app"})).notarizeApp);
}

TEST_F(ReleasePlanTest, AnExistingResultIsReplacedOnlyWhenAskedAndNeverAFolderOrTheApp) {
  file(releases / "Releases.dmg");
  EXPECT_EQ(failure(kUnsigned, ExitCode::input),
            Failure((releases / "Releases.dmg").string() + " already exists.",
                    "Add --overwrite to replace it, or choose another --output / --name."));
  EXPECT_TRUE(make(with(kUnsigned, {"--overwrite"})).overwrite);
  EXPECT_TRUE(make(with(kUnsigned, {"--yes"})).overwrite);

  // A link to nothing is in the way too; a folder is never replaced; the app is never written.
  fs::create_symlink(home.path() / "gone", releases / "Linked.dmg");
  EXPECT_EQ(failure(with(kUnsigned, {"--name", "Linked"}), ExitCode::input).first,
            (releases / "Linked.dmg").string() + " already exists.");
  fs::create_directory(releases / "Folder.dmg");
  EXPECT_EQ(failure(with(kUnsigned, {"--name", "Folder", "--overwrite"}), ExitCode::input).first,
            (releases / "Folder.dmg").string() + " is a folder.");
  EXPECT_EQ(failure(with(kUnsigned, {"--output", "MyApp.app/Contents"}), ExitCode::input).first,
            "The output " + (releases / "MyApp.app/Contents/Releases.dmg").string() +
                " is inside MyApp.app, which is never changed.");
  // A link in the release folder that leads into the app does not get past that.
  fs::create_symlink(releases / "MyApp.app" / "Contents", releases / "Out");
  EXPECT_EQ(failure(with(kUnsigned, {"--output", "Out"}), ExitCode::input).first,
            "The output " + (releases / "Out/Releases.dmg").string() +
                " is inside MyApp.app, which is never changed.");
}

TEST_F(ReleasePlanTest, NamesThatArePathsOrTooLongOrUnprintableAreRefusedBeforeAnyWork) {
  const std::string longest(251, 'n'); // with ".dmg", the 255 bytes a file name may have
  EXPECT_EQ(make(with(kUnsigned, {"--name", longest})).artifactName, longest + ".dmg");
  struct Case {
    std::vector<std::string> arguments;
    ExitCode code;
    std::string message;
  };
  const Case cases[] = {
      {{"--name", "../Elsewhere"},
       ExitCode::usage,
       "--name takes a file name, not a path: ../Elsewhere"},
      {{"--name", ".."}, ExitCode::usage, "--name takes a file name, not a path: .."},
      {{"--name", longest + "x"},
       ExitCode::input,
       "The output name " + longest +
           "x.dmg is longer than 255 bytes, which the file system "
           "allows."},
      {{"--name", "Two\nLines"},
       ExitCode::input,
       "The output " + (releases / "Two\\x0aLines.dmg").string() +
           " holds a line break or another control character."},
      {{"--output", "out\x1b[2J"},
       ExitCode::input,
       "The output " + (releases / "out\\x1b[2J/Releases.dmg").string() +
           " holds a line break or another control character."},
  };
  for (const auto& test : cases)
    EXPECT_EQ(failure(with(kUnsigned, test.arguments), test.code).first, test.message);
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
  EXPECT_EQ(make(with(kNotarized, {"--app-bundle", "notarize"})).steps().at(2),
            "Notarize and staple the app bundle");
  EXPECT_EQ(
      make(with(kNotarized, {"--app-bundle", "staple", "--no-skip-missing-ticket"})).steps().at(1),
      "Keep the app's signature and staple the ticket Apple already has (notarize the app "
      "if there is none)");
  const auto styled = make(with(kUnsigned, {"--arrow", "chevron.right", "--reversed"}));
  EXPECT_EQ(styled.arrow, "chevron.right");
  EXPECT_TRUE(styled.reversed && styled.skipMissingTicket && !styled.modernDiskTools);
  // Signed, not notarized: a DMG is signed after the build, a PKG gets no signing step.
  EXPECT_EQ(make({"--no-notarize", "--identity", "Dev"}).steps().at(3), "Sign Releases.dmg");
  EXPECT_EQ(make({"--no-notarize", "--identity", "Dev", "--format", "pkg"}).steps().size(), 4u);

  // The volume icon belongs to a DMG only; the feed, relative to the release folder, comes last.
  const auto published =
      make(with(kUnsigned, {"--volume-icon", "--appcast", "feeds/appcast.xml", "--download-url",
                            "https://example.com/dl/", "--ed-key-file", "/keys/update.key"}));
  EXPECT_EQ(published.appcast, releases / "feeds" / "appcast.xml");
  EXPECT_EQ(published.steps().at(2), "Show the app's icon (.icns) on the volume");
  EXPECT_EQ(published.steps().back(),
            "Sign Releases.dmg with the Ed25519 update key (update.key) and add it to "
            "appcast.xml, served from https://example.com/dl/");
  EXPECT_FALSE(make(with(kUnsigned, {"--volume-icon", "--format", "pkg"})).volumeIcon);
}
