// `start --appcast`: the finished file signed with the update key and added to the feed, or,
// when anything is wrong, nothing built and the feed as it was. The key never shows.
#include <gtest/gtest.h>

#include <regex>

#include "StandInRoot.hpp"

using bosun::testing::contains;
using bosun::testing::fileContents;
using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
using bosun::testing::writeFile;
namespace fs = std::filesystem;

namespace {

// An Ed25519 private key (32 bytes, Base64) and the public key openssl gives for it.
constexpr const char* privateKey = "nWGxne/9WmC6hEr0kuwsxERJxWl7MmkZcDusAxyuf2A=";
constexpr const char* publicKeyDER = "MCowBQYDK2VwAyEA11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=";

class UpdateFeedE2E : public ::testing::Test {
protected:
  StandInRoot stand;
  fs::path release, feed;

  void SetUp() override {
    stand.addIdentity(StandInRoot::application);
    release = stand.makeReleaseFolder();
    feed = release / "feed.xml";
  }

  void storeKeyInKeychain() const {
    stand.toolOK("/usr/bin/security", {"add-generic-password", "-s", "https://sparkle-project.org",
                                       "-a", "ed25519", "-w", privateKey, "-U"});
  }

  RunResult start(std::vector<std::string> arguments,
                  std::map<std::string, std::string> environment = {}) const {
    arguments.insert(arguments.begin(), {"start", "Release", "--identity", "A1B2C3D4E5",
                                         "--no-notarize", "--appcast", "feed.xml"});
    return stand.bosun(std::move(arguments), std::move(environment));
  }

  // Every file of the run's home (temporary folder, configuration, release) that holds the key,
  // but its own places: the stand-in keychain and the key file.
  std::vector<std::string> filesHoldingTheKey() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(stand.home()))
      if (entry.is_regular_file() && entry.path().filename() != "generic-passwords.json" &&
          entry.path().filename() != "update.key" &&
          contains(fileContents(entry.path()), privateKey))
        found.push_back(entry.path().string());
    return found;
  }
};

TEST_F(UpdateFeedE2E, ASuccessfulReleaseAddsItsSignedItem) {
  storeKeyInKeychain();
  const RunResult run = start({"--download-url", "https://example.com/dl", "--verbose"});
  ASSERT_TRUE(run.exitedWith(0)) << run.standardError;
  const fs::path dmg = release / "Release.dmg";
  EXPECT_EQ(run.standardOutput, dmg.string() + "\n");
  EXPECT_TRUE(contains(run.standardError, "✓ Added Version 1.0 (1.0) to feed.xml\n"));

  const std::string text = fileContents(feed);
  std::smatch match;
  const std::regex itemPattern(
      "<channel>\\s*<title>Sample</title>\\s*<item>\\s*<title>Version 1\\.0</title>\\s*"
      "<pubDate>[A-Z][a-z]{2}, \\d\\d [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d \\+0000</pubDate>"
      "\\s*<sparkle:version>1\\.0</sparkle:version>\\s*"
      "<sparkle:shortVersionString>1\\.0</sparkle:shortVersionString>\\s*"
      "<sparkle:minimumSystemVersion>11\\.0</sparkle:minimumSystemVersion>\\s*"
      "<enclosure url=\"https://example\\.com/dl/Release\\.dmg\" length=\"(\\d+)\" "
      "type=\"application/octet-stream\" sparkle:edSignature=\"([A-Za-z0-9+/=]{88})\"/>\\s*"
      "</item>\\s*</channel>");
  ASSERT_TRUE(std::regex_search(text, match, itemPattern)) << text;
  EXPECT_TRUE(
      contains(text, "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\""));
  EXPECT_EQ(match[1].str(), std::to_string(fs::file_size(dmg)));

  // openssl checks the signature of the DMG's bytes with the public key.
  const fs::path work = stand.work();
  writeFile(work / "public.b64", std::string(publicKeyDER) + "\n");
  writeFile(work / "signature.b64", match[2].str() + "\n");
  const auto openssl = [&](std::vector<std::string> arguments) {
    bosun::testing::RunOptions options;
    options.executable = "/usr/bin/openssl";
    options.arguments = std::move(arguments);
    return bosun::testing::runProgram(options);
  };
  for (const char* name : {"public", "signature"})
    ASSERT_TRUE(openssl({"base64", "-d", "-in", (work / (std::string(name) + ".b64")).string(),
                         "-out", (work / name).string()})
                    .exitedWith(0));
  const RunResult verified = openssl({"pkeyutl", "-verify", "-pubin", "-keyform", "DER", "-inkey",
                                      (work / "public").string(), "-rawin", "-in", dmg.string(),
                                      "-sigfile", (work / "signature").string()});
  EXPECT_TRUE(verified.exitedWith(0)) << verified.standardOutput << verified.standardError;

  EXPECT_FALSE(contains(run.standardOutput + run.standardError, privateKey));
  EXPECT_EQ(filesHoldingTheKey(), std::vector<std::string>{});
}

TEST_F(UpdateFeedE2E, NothingIsBuiltWhenTheFeedCouldNotBePublished) {
  writeFile(stand.work() / "short.key", "c2hvcnQ=\n");
  writeFile(stand.work() / "update.key", std::string(privateKey) + "\n");
  const std::string notAFeed = "<rss version=\"2.0\"><channel></rss>";
  const std::string aFeed = "<rss version=\"2.0\"><channel><title>Sample</title></channel></rss>";
  const struct {
    std::string name;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    std::string feed; // the feed before the run ("": none)
    int exitCode;
    std::string message;
  } cases[] = {
      {"no key in the keychain",
       {"--download-url", "https://example.com/"},
       {},
       "",
       4,
       "✗ No Ed25519 update key was found in your login keychain.\n"},
      {"a key file without a key",
       {"--download-url", "https://example.com/", "--ed-key-file", "short.key"},
       {},
       "",
       4,
       "✗ The Ed25519 key file " + (stand.work() / "short.key").string() +
           " does not hold a usable private key.\n"},
      {"a feed that is not well-formed",
       {"--download-url", "https://example.com/", "--ed-key-file", "update.key"},
       {},
       notAFeed,
       5,
       "✗ The feed " + feed.string() + " is not well-formed XML: "},
      {"the key itself given as the key file",
       {"--download-url", "https://example.com/", "--ed-key-file", privateKey},
       {},
       "",
       4,
       "✗ --ed-key-file takes the path of a file that holds the key, not the key itself.\n"},
      {"no download URL",
       {},
       {},
       "",
       3,
       "✗ --appcast needs --download-url, the folder the file will be served from.\n"},
      {"an http download URL",
       {"--download-url", "http://example.com/"},
       {},
       "",
       3,
       "✗ The download URL must be an https:// folder address (no spaces, ? or #).\n"},
      {"a failed build",
       {"--download-url", "https://example.com/"},
       {{"MACSIM_HDIUTIL_FAIL", "1"}, {"MACSIM_HDIUTIL_WHEN", "create"}},
       aFeed,
       13,
       "✗ "},
      {"a failed check",
       {"--download-url", "https://example.com/"},
       {{"MACSIM_CODESIGN_FAIL", "1"}, {"MACSIM_CODESIGN_WHEN", "-dvv"}},
       aFeed,
       14,
       "! The update feed feed.xml was left as it was, because some checks did not pass.\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    if (test.name.find("failed") != std::string::npos) storeKeyInKeychain();
    fs::remove(feed);
    if (!test.feed.empty()) writeFile(feed, test.feed);
    fs::remove(release / "Release.dmg");
    const RunResult run = start(test.arguments, test.environment);
    EXPECT_TRUE(run.exitedWith(test.exitCode)) << run.status << run.standardError;
    EXPECT_TRUE(contains(run.standardError, test.message)) << run.standardError;
    EXPECT_FALSE(contains(run.standardOutput + run.standardError, privateKey));
    EXPECT_EQ(fs::exists(release / "Release.dmg"), test.exitCode == 14);
    if (test.feed.empty())
      EXPECT_FALSE(fs::exists(feed));
    else
      EXPECT_EQ(fileContents(feed), test.feed);
  }
  EXPECT_EQ(filesHoldingTheKey(), std::vector<std::string>{});
}

// Doctor names the feed, the URL and the key's public half; never the key.
TEST_F(UpdateFeedE2E, DoctorReportsTheFeedTheAddressAndTheKey) {
  writeFile(stand.work() / "update.key", std::string(privateKey) + "\n");
  const RunResult run =
      stand.bosun({"doctor", "Release", "--offline", "--appcast", "feed.xml", "--download-url",
                   "http://example.com/", "--ed-key-file", "update.key"});
  EXPECT_TRUE(contains(run.standardError,
                       "✓ Update feed - " + feed.string() + " (made by the first release)\n"))
      << run.standardError;
  EXPECT_TRUE(contains(run.standardError, "✗ Download URL - \"http://example.com/\" is not an "
                                          "https:// folder address\n"));
  EXPECT_TRUE(contains(run.standardError,
                       "✓ Update signing key - readable from " +
                           (stand.work() / "update.key").string() +
                           ", public key 11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=\n"));
  EXPECT_FALSE(contains(run.standardOutput + run.standardError, privateKey));

  // The key typed in place of the file's path is neither read as a path nor listed.
  const RunResult typed = stand.bosun(
      {"doctor", "Release", "--offline", "--appcast", "feed.xml", "--ed-key-file", privateKey});
  EXPECT_TRUE(contains(typed.standardError, "✗ Update signing key - the key file setting holds a "
                                            "key, not the path of a file\n"));
  EXPECT_TRUE(contains(typed.standardOutput, "<redacted>  (--ed-key-file)\n"));
  EXPECT_FALSE(contains(typed.standardOutput + typed.standardError, privateKey));
}

} // namespace
