#include <gtest/gtest.h>

#include <plist/plist.h>

#include <fstream>

#include "StandInRoot.hpp"

using bosun::testing::RunOptions;
using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream stream(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A preference domain file as the desktop app writes it: string and boolean values, binary or
// XML.
std::string preferences(const std::map<std::string, std::string>& strings,
                        const std::map<std::string, bool>& booleans, bool binary) {
  plist_t root = plist_new_dict();
  for (const auto& [key, value] : strings)
    plist_dict_set_item(root, key.c_str(), plist_new_string(value.c_str()));
  for (const auto& [key, value] : booleans)
    plist_dict_set_item(root, key.c_str(), plist_new_bool(value));
  char* buffer = nullptr;
  uint32_t length = 0;
  if (binary)
    plist_to_bin(root, &buffer, &length);
  else
    plist_to_xml(root, &buffer, &length);
  std::string bytes(buffer, length);
  free(buffer);
  plist_free(root);
  return bytes;
}

class Setup : public ::testing::Test {
protected:
  StandInRoot mac;
  fs::path config = mac.home() / ".config" / "bosun" / "config.json";
  fs::path preferencesFolder = mac.home() / "Library" / "Preferences";

  // `bosun ARGUMENTS` with standard input and standard error on a terminal, the answers typed.
  RunResult typed(std::vector<std::string> arguments, const std::string& answers,
                  std::map<std::string, std::string> environment = {}) const {
    RunOptions options;
    options.executable = BOSUN_BINARY;
    options.arguments = std::move(arguments);
    options.baseEnvironment = mac.environment();
    options.environment = std::move(environment);
    options.environment["NO_COLOR"] = "1";
    options.workingDirectory = mac.work();
    options.errorIsTerminal = true;
    options.inputIsTerminal = true;
    // The input ends after the answers, so a question the test did not expect ends the run.
    options.standardInput = answers + "\x04";
    return bosun::testing::runProgram(options);
  }
};

} // namespace

TEST_F(Setup, FlagsSaveWithoutQuestionsAndKeepTheOtherValues) {
  auto run = mac.bosun({"setup", "--identity", StandInRoot::application, "--profile", "notary"});
  ASSERT_TRUE(run.exitedWith(0)) << run.standardError;
  EXPECT_EQ(run.standardError, "✓ Saved " + config.string() + "\n");

  run = mac.bosun({"setup", "--window", "large", "--no-deep", "--profile", ""});
  ASSERT_TRUE(run.exitedWith(0)) << run.standardError;
  // Booleans are JSON booleans; an empty value removes the setting.
  EXPECT_EQ(readFile(config), "{\n"
                              "  \"deepVerify\": false,\n"
                              "  \"identity\": \"Developer ID Application: Example Corp "
                              "(A1B2C3D4E5)\",\n"
                              "  \"window\": \"large\"\n"
                              "}\n");
  EXPECT_EQ(fs::status(config).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  // A value every later run would refuse is refused at once, and nothing is saved.
  const std::string saved = readFile(config);
  for (const std::vector<std::string>& flags : {std::vector<std::string>{"--jobs", "0"},
                                                {"--jobs", "abc"},
                                                {"--notary-wait", "soon"},
                                                {"--format", "zip", "--window", "small"}}) {
    std::vector<std::string> arguments{"setup"};
    arguments.insert(arguments.end(), flags.begin(), flags.end());
    run = mac.bosun(arguments);
    EXPECT_TRUE(run.exitedWith(3)) << flags.front() << ": " << run.standardError;
    EXPECT_NE(run.standardError.find(" from " + flags.front() + " must be "), std::string::npos)
        << run.standardError;
    EXPECT_EQ(readFile(config), saved);
  }

  run = mac.bosun({"setup", "--deep", "--no-deep"});
  EXPECT_TRUE(run.exitedWith(2));
  EXPECT_EQ(run.standardError, "✗ --deep and --no-deep cannot be used together.\n");
  writeFile(config, "{\"deepVerify\": \"yes\"}");
  run = mac.bosun({"setup", "--identity", "X"});
  EXPECT_TRUE(run.exitedWith(3));
  EXPECT_NE(run.standardError.find(config.string() + " could not be read: "), std::string::npos);
  EXPECT_EQ(readFile(config), "{\"deepVerify\": \"yes\"}");
}

TEST_F(Setup, ShowAndResetWithAndWithoutAFile) {
  for (const char* flag : {"--show", "--reset"}) {
    const auto run = mac.bosun({"setup", flag});
    EXPECT_TRUE(run.exitedWith(0)) << flag;
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_EQ(run.errorLines().front(), "No configuration at " + config.string());
  }
  ASSERT_TRUE(mac.bosun({"setup", "--format", "pkg"}).exitedWith(0));
  auto run = mac.bosun({"setup", "--show"});
  EXPECT_TRUE(run.exitedWith(0));
  EXPECT_EQ(run.standardOutput, "{\n  \"format\": \"pkg\"\n}\n");
  run = mac.bosun({"setup", "--reset"});
  EXPECT_TRUE(run.exitedWith(0));
  EXPECT_EQ(run.standardError, "✓ Removed " + config.string() + "\n");
  EXPECT_FALSE(fs::exists(config));
}

TEST_F(Setup, ImportTakesTheFirstDomainWithValuesAndTheChosenCredentials) {
  // The store edition alone, XML, with the profile method.
  writeFile(preferencesFolder / "com.halyard.Halyard.Store.plist",
            preferences({{"keel.signingIdentity", "  Developer ID Application: Store (A1)\n"},
                         {"keel.notaryMethod", "profile"},
                         {"keel.notaryProfile", "store-profile"},
                         {"keel.notaryAPIKeyPath", "/keys/AuthKey_X.p8"},
                         {"Halyard.AppBundleMode", "stapleOnly"},
                         {"Halyard.InstallerResolution", "1280x800"},
                         {"Halyard.Export.Format", "pkg"}},
                        {{"Halyard.DeepVerifyExport", true}}, false));
  auto run = mac.bosun({"setup", "--import-halyard"});
  ASSERT_TRUE(run.exitedWith(0)) << run.standardError;
  EXPECT_EQ(readFile(config), "{\n"
                              "  \"appBundle\": \"staple\",\n"
                              "  \"deepVerify\": true,\n"
                              "  \"format\": \"pkg\",\n"
                              "  \"identity\": \"Developer ID Application: Store (A1)\",\n"
                              "  \"keychainProfile\": \"store-profile\",\n"
                              "  \"window\": \"balanced\"\n"
                              "}\n");

  // The direct edition, binary, with the API-key method, is read first; flags win over it.
  fs::remove(config);
  writeFile(preferencesFolder / "com.halyard.Halyard.plist",
            preferences({{"keel.notaryMethod", "apiKey"},
                         {"keel.notaryProfile", "ignored"},
                         {"keel.notaryAPIKeyPath", "/keys/AuthKey_K.p8"},
                         {"keel.notaryAPIKeyID", "K"},
                         {"Halyard.InstallerResolution", "999x1"}},
                        {}, true));
  run = mac.bosun({"setup", "--import-halyard", "--issuer", "ISSUER"});
  ASSERT_TRUE(run.exitedWith(0)) << run.standardError;
  EXPECT_EQ(readFile(config), "{\n"
                              "  \"apiIssuer\": \"ISSUER\",\n"
                              "  \"apiKeyID\": \"K\",\n"
                              "  \"apiKeyPath\": \"/keys/AuthKey_K.p8\"\n"
                              "}\n");
}

TEST_F(Setup, TheWizardOffersInstalledIdentitiesChecksCredentialsAndSaves) {
  mac.addIdentity(StandInRoot::application);
  mac.addIdentity(StandInRoot::installer);
  mac.addProfile("notary");
  writeFile(config, "{\"identity\": \"Developer ID Application: Gone (ZZ)\"}");
  // Application: the installed one (1); installer: none (2); an existing profile (1) named
  // notary; PKG (2); the window default; notarize the app: yes; deep verification: default.
  const auto run = typed({"setup"}, "1\n2\n1\nnotary\n2\n\ny\n\n");
  ASSERT_TRUE(run.exitedWith(0)) << run.standardError;
  const std::string& screen = run.standardError;
  EXPECT_NE(screen.find("Bosun setup. Press Return to keep the value in brackets.\n\n"),
            std::string::npos);
  EXPECT_NE(screen.find("Developer ID Application identity (signs the app and DMG)\n"
                        "  1. Developer ID Application: Example Corp (A1B2C3D4E5)\n"
                        "  2. Developer ID Application: Gone (ZZ) (not installed)\n"
                        "  3. Don't sign\n"
                        "Choose 1-3 [2]: "),
            std::string::npos);
  EXPECT_NE(screen.find("✓ Notarization credentials work"), std::string::npos);
  EXPECT_EQ(readFile(config), "{\n"
                              "  \"deepVerify\": false,\n"
                              "  \"format\": \"pkg\",\n"
                              "  \"identity\": \"Developer ID Application: Example Corp "
                              "(A1B2C3D4E5)\",\n"
                              "  \"keychainProfile\": \"notary\",\n"
                              "  \"notarizeApp\": true,\n"
                              "  \"window\": \"compact\"\n"
                              "}\n");
}

TEST_F(Setup, TheWizardStopsWithoutSavingOnRefusalMissingKeyOrEndOfInput) {
  const auto missing = mac.work() / "AuthKey_MISSING.p8";
  struct Case {
    std::string answers;
    int status;
    std::string message;
  } cases[] = {
      // No identities installed: "Don't sign" and "None" are the only choices.
      {"1\n1\n1\nunknown-profile\nn\n", 4,
       "✗ Setup stopped because the notarization credentials were not accepted."},
      {"1\n1\n3\n" + missing.string() + "\n", 2,
       "✗ The key file was not found: " + missing.string()},
      {"1\n\x04", 2, "✗ Setup stopped because the input ended before every question was answered."},
  };
  for (const auto& c : cases) {
    const auto run = typed({"setup"}, c.answers);
    EXPECT_TRUE(run.exitedWith(c.status)) << c.answers << run.standardError;
    EXPECT_NE(run.standardError.find(c.message), std::string::npos) << run.standardError;
    EXPECT_FALSE(fs::exists(config));
  }
  // Saving refused credentials anyway.
  const auto run = typed({"setup"}, "1\n1\n1\nunknown-profile\ny\n1\n\n\n\n");
  ASSERT_TRUE(run.exitedWith(0)) << run.standardError;
  EXPECT_NE(run.standardError.find("! Apple did not accept these credentials: "),
            std::string::npos);
  EXPECT_NE(readFile(config).find("\"keychainProfile\": \"unknown-profile\""), std::string::npos);
  EXPECT_NE(readFile(config).find("\"sign\": false"), std::string::npos);

  const auto noTerminal = mac.bosun({"setup"});
  EXPECT_TRUE(noTerminal.exitedWith(2));
  EXPECT_EQ(noTerminal.errorLines().front(), "✗ Interactive setup needs a Terminal.");
}

TEST_F(Setup, CreatingAProfileLetsNotarytoolAskOnTheTerminal) {
  auto run = typed({"setup", "--create-profile", "made", "--apple-id", "dev@example.com",
                    "--team-id", "A1B2C3D4E5"},
                   "app-specific-password\n");
  ASSERT_TRUE(run.exitedWith(0)) << run.standardError;
  EXPECT_NE(run.standardError.find("✓ Saved keychain profile \"made\""), std::string::npos);
  EXPECT_EQ(readFile(config), "{\n  \"keychainProfile\": \"made\"\n}\n");
  // The profile now exists in the stand-in keychain: notarytool accepts it.
  EXPECT_TRUE(mac.tool("/usr/bin/xcrun", {"notarytool", "history", "--keychain-profile", "made"})
                  .exitedWith(0));

  const auto offline =
      typed({"setup", "--create-profile", "third", "--apple-id", "a@b.c", "--team-id", "T"},
            "password\n", {{"MACSIM_OFFLINE", "1"}});
  EXPECT_TRUE(offline.exitedWith(4)) << offline.standardError;
  EXPECT_NE(offline.standardError.find("✗ notarytool could not store the credentials (exit "),
            std::string::npos);
  EXPECT_EQ(readFile(config).find("third"), std::string::npos);
}

TEST_F(Setup, StartWithNothingConfiguredRunsTheWizardOnATerminalThenGoesOn) {
  mac.addIdentity(StandInRoot::application);
  mac.addProfile("notary");
  mac.makeApp("Sample");
  const auto run = typed({"start"}, "1\n1\n1\nnotary\n1\n\n\n\n");
  EXPECT_NE(run.standardError.find("Bosun is not set up yet. Let's do that first.\n"),
            std::string::npos)
      << run.standardError;
  EXPECT_NE(readFile(config).find("\"keychainProfile\": \"notary\""), std::string::npos);
  // The release then starts with the saved settings.
  EXPECT_NE(run.standardError.find("App: Sample.app"), std::string::npos) << run.standardError;
}
