#include "StandInFixture.hpp"

#include <gmock/gmock.h>
#include <map>
#include <thread>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace macsim::testing {

class SetupTest : public StandInFixture {};

TEST_F(SetupTest, InitMakesToolLinksAtTheirPlatformPathsAndTheSystemVersionFile) {
  for (const char* path :
       {"usr/bin/codesign", "usr/bin/security", "usr/bin/hdiutil", "usr/sbin/diskutil",
        "usr/bin/xcrun", "usr/sbin/spctl", "usr/sbin/pkgutil", "usr/bin/pkgbuild",
        "usr/bin/productbuild", "usr/bin/productsign", "usr/bin/lipo", "usr/bin/ditto",
        "usr/bin/xattr", "usr/bin/osascript", "usr/bin/shasum", "bin/chmod"})
    EXPECT_TRUE(fs::exists(root / path)) << path;
  EXPECT_TRUE(fs::is_directory(root / "Volumes"));
  const std::string version = readFile(root / "System/Library/CoreServices/SystemVersion.plist");
  EXPECT_THAT(version, HasSubstr("<key>ProductName</key>\n\t<string>macOS</string>"));
  EXPECT_THAT(version, HasSubstr("<key>ProductVersion</key>\n\t<string>15.5</string>"));

  ASSERT_EQ(macsim({"init", root.string(), "--macos", "27.1"}).status, 0);
  EXPECT_THAT(readFile(root / "System/Library/CoreServices/SystemVersion.plist"),
              HasSubstr("<key>ProductVersion</key>\n\t<string>27.1</string>"));
}

TEST_F(SetupTest, ToolsFindTheirRootFromTheirOwnPathWithoutTheEnvironment) {
  addIdentity(developerID);
  const auto result = run("security", {"find-identity", "-v", "-p", "codesigning"});
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(result.standardOutput, HasSubstr(developerID));
}

TEST_F(SetupTest, FindIdentityListsValidIdentitiesOfThePolicyInTheRealFormat) {
  ASSERT_EQ(
      macsim({"identity", "add", developerID, "--hash", "3C4E6F0011223344556677889900AABBCCDDEEFF"})
          .status,
      0);
  ASSERT_EQ(
      macsim({"identity", "add", installerID, "--hash", "8A1B2C0011223344556677889900AABBCCDDEEFF"})
          .status,
      0);
  ASSERT_EQ(macsim({"identity", "add", "Apple Development: dev@example.com (F6G7H8J9K0)", "--hash",
                    "1111111111111111111111111111111111111111", "--expired"})
                .status,
            0);

  const auto codesigning = run("security", {"find-identity", "-v", "-p", "codesigning"});
  EXPECT_EQ(codesigning.standardOutput,
            "  1) 3C4E6F0011223344556677889900AABBCCDDEEFF \"Developer ID "
            "Application: Example Corp (A1B2C3D4E5)\"\n"
            "     1 valid identities found\n");
  const auto basic = run("security", {"find-identity", "-v", "-p", "basic"});
  EXPECT_EQ(basic.standardOutput, "  1) 3C4E6F0011223344556677889900AABBCCDDEEFF \"Developer ID "
                                  "Application: Example Corp (A1B2C3D4E5)\"\n"
                                  "  2) 8A1B2C0011223344556677889900AABBCCDDEEFF \"Developer ID "
                                  "Installer: Example Corp (A1B2C3D4E5)\"\n"
                                  "     2 valid identities found\n");
  // Without -v the expired identity shows among the matching ones, marked.
  EXPECT_THAT(run("security", {"find-identity", "-p", "codesigning"}).standardOutput,
              HasSubstr("\"Apple Development: dev@example.com (F6G7H8J9K0)\" "
                        "(CSSMERR_TP_CERT_EXPIRED)"));

  ASSERT_EQ(macsim({"identity", "remove", developerID}).status, 0);
  EXPECT_EQ(run("security", {"find-identity", "-v", "-p", "codesigning"}).standardOutput,
            "     0 valid identities found\n");
}

TEST_F(SetupTest, ProfilesAndUsageErrors) {
  EXPECT_EQ(macsim({"profile", "add", "release"}).status, 0);
  EXPECT_THAT(macsim({"profile", "list"}).standardOutput, HasSubstr("release"));
  EXPECT_EQ(macsim({"profile", "remove", "release"}).status, 0);
  EXPECT_NE(macsim({"profile", "remove", "release"}).status, 0);
  EXPECT_EQ(macsim({"frobnicate"}).status, 2);
  EXPECT_EQ(macsim({"identity", "add", "X", "--hash", "xyz"}).status, 2);
  const auto security = run("security", {"find-identity", "-p"});
  EXPECT_NE(security.status, 0);
}

TEST_F(SetupTest, ShowKeychainInfoReadsTheLoginKeychainUnlessItIsLocked) {
  // Named by its file in the user's home, as on a Mac.
  const std::map<std::string, std::string> home{{"HOME", "/Users/tester"}};
  const std::string keychain = "/Users/tester/Library/Keychains/login.keychain-db";
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"show-keychain-info"},
                                                    {"show-keychain-info", "login.keychain"},
                                                    {"show-keychain-info", keychain}}) {
    const auto unlocked = run("security", arguments, home);
    EXPECT_EQ(unlocked.status, 0);
    EXPECT_EQ(unlocked.standardOutput, "");
    EXPECT_EQ(unlocked.standardError, "Keychain \"" + keychain + "\" no-timeout\n");
  }

  auto locked = home;
  locked["MACSIM_KEYCHAIN_LOCKED"] = "1";
  const auto refused = run("security", {"show-keychain-info"}, locked);
  EXPECT_EQ(refused.status, 36);
  EXPECT_EQ(refused.standardError, "security: SecKeychainCopySettings " + keychain +
                                       ": User interaction is not allowed.\n");

  EXPECT_EQ(run("security", {"show-keychain-info", "/nowhere.keychain-db"}).status, 50);
}

TEST_F(SetupTest, HelpDocumentsEveryCommandAndKnob) {
  const auto help = macsim({"help"});
  EXPECT_EQ(help.status, 0);
  for (const char* text :
       {"macsim init", "macsim identity add", "macsim identity remove", "macsim identity list",
        "macsim profile add", "macsim profile remove", "macsim machO", "BOSUN_TOOL_ROOT",
        "MACSIM_<TOOL>_DELAY", "MACSIM_<TOOL>_FAIL", "MACSIM_<TOOL>_STDOUT", "MACSIM_<TOOL>_STDERR",
        "MACSIM_<TOOL>_WHEN", "MACSIM_OFFLINE", "MACSIM_NOTARY_VERDICT", "MACSIM_BUSY_EJECTS",
        "MACSIM_STUCK_VOLUMES", "MACSIM_KEYCHAIN_LOCKED", "security show-keychain-info"})
    EXPECT_THAT(help.standardOutput, HasSubstr(text));
  EXPECT_THAT(help.standardOutput, HasSubstr("MACSIM_TICKET_PROPAGATION=N"));
}

TEST_F(SetupTest, KnobsMakeAToolFailSlowOrOnlyForOneVerb) {
  const auto failing = run("shasum", {"-a", "256", "/dev/null"},
                           {{"MACSIM_SHASUM_FAIL", "7"},
                            {"MACSIM_SHASUM_STDOUT", "partial"},
                            {"MACSIM_SHASUM_STDERR", "broken pipe"}});
  EXPECT_EQ(failing.status, 7);
  EXPECT_EQ(failing.standardOutput, "partial\n");
  EXPECT_EQ(failing.standardError, "broken pipe\n");

  // WHEN limits the knob to calls that name the word.
  const std::map<std::string, std::string> onlyVerify = {{"MACSIM_CODESIGN_FAIL", "1"},
                                                         {"MACSIM_CODESIGN_WHEN", "--verify"}};
  EXPECT_EQ(run("codesign", {"--verify", "/nonexistent"}, onlyVerify).standardError, "");
  EXPECT_EQ(run("codesign", {"-dv", "/nonexistent"}, onlyVerify).standardError,
            "/nonexistent: No such file or directory\n");

  // Through xcrun the knob of the tool that runs applies.
  const auto offline = xcrun({"notarytool", "history", "--keychain-profile", "p"},
                             {{"MACSIM_NOTARYTOOL_FAIL", "3"}});
  EXPECT_EQ(offline.status, 3);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run("shasum", {"/dev/null"}, {{"MACSIM_SHASUM_DELAY", "0.3"}}).status, 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

} // namespace macsim::testing

namespace macsim::testing {

TEST_F(SetupTest, ConcurrentToolsNeverLoseEachOthersKeychainChanges) {
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([this, i] {
      macsim({"identity", "add",
              "Developer ID Application: Team " + std::to_string(i) + " (A1B2C3D4E" +
                  std::to_string(i) + ")"});
    });
  for (auto& thread : threads)
    thread.join();
  const auto listed = run("security", {"find-identity", "-v", "-p", "codesigning"});
  EXPECT_THAT(listed.standardOutput, HasSubstr("     8 valid identities found\n"));
}

TEST_F(SetupTest, AnIdentityInTwoKeychainsIsListedTwiceAndNamesMayBeAmbiguous) {
  const std::string hash = "ABCDEFABCDEFABCDEFABCDEFABCDEFABCDEFABCD";
  ASSERT_EQ(macsim({"identity", "add", developerID, "--hash", hash}).status, 0);
  ASSERT_EQ(macsim({"identity", "add", developerID, "--hash", hash}).status, 0);
  const auto listed = run("security", {"find-identity", "-v", "-p", "codesigning"});
  EXPECT_THAT(listed.standardOutput, HasSubstr("  1) " + hash));
  EXPECT_THAT(listed.standardOutput, HasSubstr("  2) " + hash));
  // The same certificate twice is not ambiguous for codesign...
  writeFile(work / "tool", "#!/bin/sh\n");
  EXPECT_EQ(run("codesign", {"--sign", "Example Corp", (work / "tool").string()}).status, 0);
  // ...two different certificates matching the text are.
  addIdentity("Developer ID Application: Example Corp Labs (Z9Y8X7W6V5)");
  const auto ambiguous =
      run("codesign", {"--force", "--sign", "Example Corp", (work / "tool").string()});
  EXPECT_EQ(ambiguous.status, 1);
  EXPECT_THAT(ambiguous.standardError, HasSubstr("Example Corp: ambiguous (matches "));
  // The full name or the hash picks one.
  EXPECT_EQ(run("codesign", {"--force", "--sign", hash, (work / "tool").string()}).status, 0);
}

} // namespace macsim::testing
