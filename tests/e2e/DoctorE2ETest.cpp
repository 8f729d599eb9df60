#include <gtest/gtest.h>

#include <fstream>

#include "StandInRoot.hpp"

using bosun::testing::contains;
using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

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

// A keychain tool that cannot run is a failure with the system's words, never "none installed".
TEST_F(DoctorE2E, AnIdentityListingThatCannotRunIsNotAnEmptyKeychain) {
  stand.addReleaseSetUp();
  const auto security = stand.root() / "usr/bin/security";
  fs::remove(security);
  const auto result = doctor({"--offline"});
  EXPECT_TRUE(result.exitedWith(3)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "\n✗ Developer ID Application - Could not start " +
                                                 security.string() +
                                                 ": No such file or directory.\n"))
      << result.standardError;
  EXPECT_FALSE(contains(result.standardError, "none installed")) << result.standardError;
}

// The identity and credential findings for one configuration: the lines expected on standard
// error and the exit code of the run.
TEST_F(DoctorE2E, IdentityAndCredentialFindingsDecideTheExitCode) {
  stand.addReleaseSetUp();
  const std::string profile = StandInRoot::profile;
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> lines;
    int exitCode;
  };
  const std::vector<Case> cases = {
      {{"--no-sign", "--no-notarize"},
       {"– Developer ID Application - none configured (1 installed)",
        "– Developer ID Installer - none configured (1 installed)",
        "– Notarization - Notarization is off"},
       0},
      // Every check passes; the tool lines and their order: tests/golden/machine.txt.
      {{"--identity", "Developer ID Application: Example Corp", "--installer-identity",
        StandInRoot::installer, "--profile", profile, "--format", "pkg"},
       {"✓ Developer ID Installer - " + std::string(StandInRoot::installer),
        "› Checking notarization credentials with Apple…",
        "✓ Notarization - keychain profile \"bosun-tests\""},
       0},
      {{"--identity", "example corp (a1b2c3d4e5)", "--no-notarize", "--format", "pkg"},
       {"✓ Developer ID Application - example corp (a1b2c3d4e5)",
        "– Developer ID Installer - none configured (1 installed)"},
       0},
      {{"--no-sign", "--profile", profile, "--format", "pkg", "--offline"},
       {"✗ Developer ID Installer - none configured (1 installed)"},
       4},
      {{"--identity", "Developer ID Application: Nobody (ZZZZZZZZZZ)", "--no-notarize"},
       {"✗ Developer ID Application - \"Developer ID Application: Nobody (ZZZZZZZZZZ)\" is not "
        "installed in your keychain"},
       4},
      {{"--no-sign", "--profile", "nobody"},
       {"✗ Notarization - Error: No Keychain password item found for profile: nobody"},
       4},
      {{"--no-sign", "--key", "~/missing.p8", "--key-id", "KEY123"},
       {"✗ Notarization - The API key file was not found: " +
        (stand.home() / "missing.p8").string()},
       4},
  };
  for (const auto& entry : cases) {
    const auto result = doctor(entry.arguments);
    EXPECT_TRUE(result.exitedWith(entry.exitCode)) << result.status << "\n" << result.standardError;
    for (const auto& line : entry.lines)
      EXPECT_TRUE(contains(result.standardError, "\n" + line + "\n")) << line << "\n"
                                                                      << result.standardError;
  }
}

// Offline, notarytool is not run: tests/golden/machine.txt.

TEST_F(DoctorE2E, ALockedKeychainIsAWarningWithoutExitCode) {
  stand.addReleaseSetUp();
  const auto result = doctor({"--no-sign", "--no-notarize"}, {{"MACSIM_KEYCHAIN_LOCKED", "1"}});
  EXPECT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_TRUE(contains(
      result.standardError,
      "\n! Keychain - security: SecKeychainCopySettings " + stand.home().string() +
          "/Library/Keychains/login.keychain-db: User interaction is not allowed. codesign "
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
  // The key column is as wide as the longest key, "skipMissingTicket".
  EXPECT_EQ(result.outputLines().size(), 26u);
  for (const char* line :
       {"Effective settings (flags > environment > project file > user config > defaults):\n",
        "\n  identity           -  (default)\n", "\n  format             pkg  (--format)\n",
        "\n  window             large  ($BOSUN_WINDOW)\n",
        "\n  compression        lzfse  (user config)\n",
        "\n  arrow              chevron.right  (bosun.json)\n",
        "\n  sign               no  ($BOSUN_SIGN)\n", "\n  notaryWait         900  (default)\n",
        "\n  skipMissingTicket  true  (default)\n", "\n  deepVerify         true  (bosun.json)\n"})
    EXPECT_TRUE(contains(result.standardOutput, line)) << line << result.standardOutput;
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
  // The text runs pin the order; here every finding must be present with its four keys.
  ASSERT_EQ(doctor["findings"].size(), 17u);
  for (const auto& finding : doctor["findings"])
    EXPECT_EQ(finding.size(), 4u) << finding;
  EXPECT_EQ(doctor["findings"][1], json({{"area", "system"},
                                         {"label", "Stand-in tools"},
                                         {"status", "warning"},
                                         {"detail", "BOSUN_TOOL_ROOT is " + root() +
                                                        ": the macOS tools are stand-ins, and "
                                                        "nothing signed or notarized here is "
                                                        "valid on a Mac"}}));
  EXPECT_EQ(doctor["findings"][14]["status"], "skipped");
  EXPECT_EQ(doctor["findings"].back()["detail"],
            "Error: No Keychain password item found for profile: nobody");

  const json& settings = doctor["settings"];
  EXPECT_EQ(settings.size(), 25u);
  EXPECT_EQ(settings["identity"], json({{"source", "default"}}));
  EXPECT_EQ(settings["keychainProfile"], json({{"source", "--profile"}, {"value", "nobody"}}));
  EXPECT_EQ(settings["sign"], json({{"source", "--no-sign"}, {"value", "false"}}));
  EXPECT_EQ(settings["format"], json({{"source", "default"}, {"value", "dmg"}}));
}

} // namespace
