#include <gtest/gtest.h>

#include <fstream>

#include "StandInRoot.hpp"

using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class DoctorE2E : public ::testing::Test {
protected:
  StandInRoot stand;

  RunResult doctor(std::vector<std::string> arguments,
                   std::map<std::string, std::string> environment = {}) const {
    arguments.insert(arguments.begin(), "doctor");
    return stand.bosun(std::move(arguments), std::move(environment));
  }

  fs::path userConfig() const { return stand.home() / ".config" / "bosun" / "config.json"; }

  void writeUserConfig(const std::string& text) const {
    fs::create_directories(userConfig().parent_path());
    std::ofstream(userConfig()) << text;
  }

  std::string root() const { return stand.root().string(); }
};

TEST_F(DoctorE2E, EverythingInOrderPassesInOrderAndExitsZero) {
  stand.addReleaseSetUp();
  writeUserConfig(
      R"({"identity": "Developer ID Application: Example Corp", "installerIdentity": ")" +
      std::string(StandInRoot::installer) + R"(", "keychainProfile": ")" + StandInRoot::profile +
      R"(", "format": "pkg"})");
  const auto result = doctor({});
  EXPECT_TRUE(result.exitedWith(0)) << result.standardError;
  const std::string developer = root() + "/Library/Developer/CommandLineTools/usr/bin/";
  EXPECT_EQ(result.standardError,
            "› Checking tools…\n"
            "✓ macOS - macOS 15.5 (24F74)\n"
            "! Stand-in tools - BOSUN_TOOL_ROOT is " +
                root() +
                ": the macOS tools are stand-ins, and nothing signed or notarized here is valid on "
                "a Mac\n"
                "✓ codesign - " +
                root() + "/usr/bin/codesign\n✓ hdiutil - " + root() +
                "/usr/bin/hdiutil\n✓ ditto - " + root() + "/usr/bin/ditto\n✓ pkgbuild - " + root() +
                "/usr/bin/pkgbuild\n✓ productbuild - " + root() +
                "/usr/bin/productbuild\n✓ productsign - " + root() +
                "/usr/bin/productsign\n✓ spctl - " + root() + "/usr/sbin/spctl\n✓ pkgutil - " +
                root() + "/usr/sbin/pkgutil\n✓ notarytool - " + developer +
                "notarytool\n✓ stapler - " + developer + "stapler\n✓ User config - " +
                userConfig().string() +
                "\n"
                "› Checking signing identities…\n"
                "✓ Keychain - unlocked (" +
                root() +
                "/var/macsim/keychain.json)\n"
                "✓ Developer ID Application - Developer ID Application: Example Corp\n"
                "✓ Developer ID Installer - " +
                StandInRoot::installer +
                "\n"
                "› Checking notarization credentials with Apple…\n"
                "✓ Notarization - keychain profile \"bosun-tests\"\n");
}

TEST_F(DoctorE2E, AMissingToolComesFirstEvenWithIdentitiesMissing) {
  fs::remove(stand.root() / "usr/bin/pkgbuild");
  const auto result = doctor({"--offline"});
  EXPECT_TRUE(result.exitedWith(3)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "\n✗ pkgbuild - not found\n"));
  EXPECT_TRUE(contains(result.standardError,
                       "\n✗ Developer ID Application - none configured, none installed\n"));
  EXPECT_TRUE(contains(result.standardError,
                       "\n✗ Notarization - No keychain profile or API key configured\n"));
}

// The identity and credential findings for one configuration: the line expected on standard
// error and the exit code of the run.
TEST_F(DoctorE2E, IdentityAndCredentialFindingsDecideTheExitCode) {
  stand.addReleaseSetUp();
  const std::string profile = StandInRoot::profile;
  struct Case {
    std::vector<std::string> arguments;
    std::string line;
    int exitCode;
  };
  const std::vector<Case> cases = {
      {{"--no-sign", "--no-notarize"},
       "– Developer ID Application - none configured (1 installed)",
       0},
      {{"--no-sign", "--no-notarize"}, "– Notarization - Notarization is off", 0},
      {{"--identity", "example corp (a1b2c3d4e5)", "--no-notarize"},
       "✓ Developer ID Application - example corp (a1b2c3d4e5)",
       0},
      {{"--no-sign", "--profile", profile, "--format", "pkg", "--offline"},
       "✗ Developer ID Installer - none configured (1 installed)",
       4},
      {{"--no-sign", "--no-notarize", "--format", "pkg"},
       "– Developer ID Installer - none configured (1 installed)",
       0},
      {{"--identity", "Developer ID Application: Nobody (ZZZZZZZZZZ)", "--no-notarize"},
       "✗ Developer ID Application - \"Developer ID Application: Nobody (ZZZZZZZZZZ)\" is not "
       "installed in your keychain",
       4},
      {{"--no-sign", "--profile", "nobody"},
       "✗ Notarization - Error: No Keychain password item found for profile: nobody",
       4},
      {{"--no-sign", "--key", "~/missing.p8", "--key-id", "KEY123"},
       "✗ Notarization - The API key file was not found: " + (stand.home() / "missing.p8").string(),
       4},
  };
  for (const auto& entry : cases) {
    const auto result = doctor(entry.arguments);
    EXPECT_TRUE(result.exitedWith(entry.exitCode)) << entry.line << "\n"
                                                   << result.status << "\n"
                                                   << result.standardError;
    EXPECT_TRUE(contains(result.standardError, "\n" + entry.line + "\n")) << entry.line << "\n"
                                                                          << result.standardError;
  }
}

TEST_F(DoctorE2E, OfflineNeverRunsNotarytool) {
  stand.addReleaseSetUp();
  const auto result =
      doctor({"--verbose", "--offline", "--no-sign", "--profile", StandInRoot::profile},
             {{"MACSIM_NOTARYTOOL_FAIL", "1"}});
  EXPECT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError,
                       "\n– Notarization - keychain profile \"bosun-tests\" (not checked, "
                       "--offline)\n"));
  EXPECT_FALSE(contains(result.standardError, "notarytool history"));
  EXPECT_FALSE(contains(result.standardError, "with Apple"));
}

TEST_F(DoctorE2E, ALockedKeychainIsAWarningWithoutExitCode) {
  stand.addReleaseSetUp();
  const auto result = doctor({"--no-sign", "--no-notarize"}, {{"MACSIM_KEYCHAIN_LOCKED", "1"}});
  EXPECT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError,
                       "\n! Keychain - security: SecKeychainCopySettings " + root() +
                           "/var/macsim/keychain.json: User interaction is not allowed. codesign "
                           "would wait for a password prompt that never comes in CI; unlock the "
                           "keychain first (security unlock-keychain).\n"))
      << result.standardError;
}

TEST_F(DoctorE2E, SettingsListingNamesEverySource) {
  writeUserConfig(R"({"compression": "lzfse", "arrow": "arrow.left"})");
  const fs::path project = stand.work() / "Project";
  fs::create_directories(project);
  std::ofstream(project / "bosun.json") << R"({"arrow": "chevron.right", "deepVerify": true})";
  const auto result = doctor({"Project", "--format", "PKG", "--offline"},
                             {{"BOSUN_WINDOW", "large"}, {"BOSUN_SIGN", "no"}});
  EXPECT_TRUE(contains(result.standardError,
                       "\n✓ Project config - " + (project / "bosun.json").string() + "\n"));
  EXPECT_EQ(result.standardOutput,
            "Effective settings (flags > environment > project file > user config > defaults):\n"
            "  identity           -  (default)\n"
            "  installerIdentity  -  (default)\n"
            "  keychainProfile    -  (default)\n"
            "  apiKeyPath         -  (default)\n"
            "  apiKeyID           -  (default)\n"
            "  apiIssuer          -  (default)\n"
            "  format             pkg  (--format)\n"
            "  output             -  (default)\n"
            "  window             large  ($BOSUN_WINDOW)\n"
            "  compression        lzfse  (user config)\n"
            "  arrow              chevron.right  (bosun.json)\n"
            "  sign               no  ($BOSUN_SIGN)\n"
            "  notarize           true  (default)\n"
            "  notarizeApp        false  (default)\n"
            "  appBundle          -  (default)\n"
            "  skipMissingTicket  true  (default)\n"
            "  deepVerify         true  (bosun.json)\n"
            "  modernDiskTools    false  (default)\n"
            "  reversed           false  (default)\n");
}

TEST_F(DoctorE2E, AnUnreadableConfigEndsBeforeAnyCheck) {
  writeUserConfig("{\"sign\": ");
  const auto result = doctor({});
  EXPECT_TRUE(result.exitedWith(3));
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(result.errorLines().size(), 2u) << result.standardError;
  EXPECT_EQ(result.standardError.rfind("✗ " + userConfig().string() + " could not be read: ", 0),
            0u)
      << result.standardError;
}

TEST_F(DoctorE2E, JSONEventCarriesEveryFindingAndSetting) {
  stand.addReleaseSetUp();
  const auto result = doctor({"--json", "--no-sign", "--profile", "nobody"});
  EXPECT_TRUE(result.exitedWith(4));
  EXPECT_EQ(result.standardError, "");
  ASSERT_TRUE(result.outputIsJSONLines()) << result.standardOutput;
  std::vector<json> events;
  for (const auto& line : result.outputLines())
    events.push_back(json::parse(line));
  ASSERT_EQ(events.back()["event"], "doctor");
  for (size_t i = 0; i + 1 < events.size(); ++i)
    EXPECT_EQ(events[i]["event"], "step");

  const json& doctor = events.back();
  EXPECT_EQ(doctor["exitCode"], 4);
  EXPECT_EQ(doctor["class"], "credentials");
  std::vector<std::string> labels;
  for (const auto& finding : doctor["findings"]) {
    EXPECT_EQ(finding.size(), 4u) << finding;
    labels.push_back(finding["area"].get<std::string>() + "/" +
                     finding["label"].get<std::string>() + "/" +
                     finding["status"].get<std::string>());
  }
  EXPECT_EQ(labels,
            (std::vector<std::string>{
                "system/macOS/passed", "system/Stand-in tools/warning", "tools/codesign/passed",
                "tools/hdiutil/passed", "tools/ditto/passed", "tools/pkgbuild/passed",
                "tools/productbuild/passed", "tools/productsign/passed", "tools/spctl/passed",
                "tools/pkgutil/passed", "tools/notarytool/passed", "tools/stapler/passed",
                "config/User config/warning", "identities/Keychain/passed",
                "identities/Developer ID Application/skipped",
                "identities/Developer ID Installer/skipped", "credentials/Notarization/failed"}));
  EXPECT_EQ(doctor["findings"].back()["detail"],
            "Error: No Keychain password item found for profile: nobody");

  const json& settings = doctor["settings"];
  EXPECT_EQ(settings.size(), 19u);
  EXPECT_EQ(settings["identity"], json({{"source", "default"}}));
  EXPECT_EQ(settings["keychainProfile"], json({{"source", "--profile"}, {"value", "nobody"}}));
  EXPECT_EQ(settings["sign"], json({{"source", "--no-sign"}, {"value", "false"}}));
  EXPECT_EQ(settings["format"], json({{"source", "default"}, {"value", "dmg"}}));
}

} // namespace
