#include "core/Notarization/NotaryTool.hpp"

#include <gtest/gtest.h>

#include "core/Process/CoreCommand.hpp"
#include "support/ScriptedToolRoot.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// A tool root whose xcrun and spctl are small scripts: each records its arguments, one per line,
// and answers with the given streams and exit status.
class NotaryToolTest : public ::testing::Test {
protected:
  testing::ScriptedToolRoot tools_;

  static std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text)
      result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
  }
  static std::string logOf(const std::string& platformPath) {
    return fs::path(platformPath).filename().string() + ".log";
  }

  // Replaces the tool and forgets what the previous one recorded.
  void installTool(const std::string& platformPath, const std::string& standardOutput,
                   const std::string& standardError = "", int status = 0) {
    fs::remove(tools_.root() / logOf(platformPath));
    tools_.addRecordingTool(platformPath, logOf(platformPath),
                            "printf '%s' " + quoted(standardOutput) + "\nprintf '%s' " +
                                quoted(standardError) + " >&2\nexit " + std::to_string(status));
  }
  Strings argumentsGiven(const std::string& platformPath) const {
    return tools_.recordedLines(logOf(platformPath));
  }
};

TEST_F(NotaryToolTest, StoringAProfileLeavesOutWhatIsNotGiven) {
  installTool("/usr/bin/xcrun", "");
  EXPECT_EQ(NotaryCredentials::storeProfile("ci", "", std::nullopt),
            NotaryCredentials::keychainProfile("ci"));
  EXPECT_EQ(argumentsGiven("/usr/bin/xcrun"), (Strings{"notarytool", "store-credentials", "ci"}));

  installTool("/usr/bin/xcrun", "", "", 69);
  try {
    NotaryCredentials::storeProfile("ci", "dev@example.com", "A1B2C3D4E5");
    ADD_FAILURE() << "storing did not fail";
  } catch (const NotaryCredentials::StoreError& error) {
    EXPECT_EQ(error.status(), 69);
  }
  EXPECT_EQ(argumentsGiven("/usr/bin/xcrun"),
            (Strings{"notarytool", "store-credentials", "ci", "--apple-id", "dev@example.com",
                     "--team-id", "A1B2C3D4E5"}));
}

TEST_F(NotaryToolTest, SubmissionWaitsAndFailuresThrow) {
  installTool("/usr/bin/xcrun", "{\"status\":\"Accepted\"}");
  EXPECT_EQ(NotaryTool::submitAndWait("/out/x.pkg", std::string("profile")),
            "{\"status\":\"Accepted\"}");
  EXPECT_EQ(argumentsGiven("/usr/bin/xcrun"),
            (Strings{"notarytool", "submit", "/out/x.pkg", "--keychain-profile", "profile",
                     "--wait", "--output-format", "json"}));

  installTool("/usr/bin/xcrun", "", "The staple and validate action failed! Error 65.", 65);
  try {
    NotaryTool::staple("/out/x.dmg");
    ADD_FAILURE() << "stapling did not fail";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), 65);
    EXPECT_STREQ(error.what(), "The staple and validate action failed! Error 65.");
  }
  EXPECT_EQ(argumentsGiven("/usr/bin/xcrun"), (Strings{"stapler", "staple", "/out/x.dmg"}));
}

TEST_F(NotaryToolTest, StatusChecksNeverThrow) {
  installTool("/usr/bin/xcrun", "Processing: /x.dmg\nThe validate action worked!\n");
  EXPECT_EQ(NotaryTool::statusOfDiskImage("/x.dmg"), NotarizationStatus::notarized());
  EXPECT_EQ(argumentsGiven("/usr/bin/xcrun"), (Strings{"stapler", "validate", "/x.dmg"}));
  installTool("/usr/bin/xcrun", "Processing: /x.dmg\n");
  EXPECT_EQ(NotaryTool::statusOfDiskImage("/x.dmg"), NotarizationStatus::notNotarized());
  installTool("/usr/bin/xcrun", "/x.dmg does not have a ticket stapled to it.\n", "", 65);
  EXPECT_EQ(NotaryTool::statusOfDiskImage("/x.dmg"),
            NotarizationStatus::failed("/x.dmg does not have a ticket stapled to it."));

  installTool("/usr/sbin/spctl", "",
              "/A.app: accepted\nsource=Notarized Developer ID\norigin=Developer ID Application: "
              "Example Corp (A1B2C3D4E5)\n");
  EXPECT_EQ(NotaryTool::statusOfApp("/A.app"), NotarizationStatus::notarized());
  EXPECT_EQ(argumentsGiven("/usr/sbin/spctl"),
            (Strings{"--assess", "-vv", "--type", "execute", "/A.app"}));
  installTool("/usr/sbin/spctl", "", "/A.app: rejected\nsource=Unnotarized Developer ID\n", 3);
  EXPECT_EQ(NotaryTool::statusOfApp("/A.app"),
            NotarizationStatus::failed("/A.app: rejected\nsource=Unnotarized Developer ID"));
  fs::remove(tools_.root() / "usr/sbin/spctl");
  EXPECT_EQ(NotaryTool::statusOfApp("/A.app").kind(), NotarizationStatus::Kind::failed);
}

TEST(NotaryToolLooksNotarizedTest, RecognisesTheToolsWordingInAnyCase) {
  EXPECT_TRUE(NotaryTool::looksNotarized("X.app: ACCEPTED\nSource=Notarized Developer ID"));
  EXPECT_TRUE(NotaryTool::looksNotarized("The Validate Action Worked!"));
  EXPECT_TRUE(NotaryTool::looksNotarized("notarized, ticket present"));
  EXPECT_FALSE(NotaryTool::looksNotarized("X.app: accepted"));
  EXPECT_FALSE(NotaryTool::looksNotarized("source=Unnotarized Developer ID"));
  EXPECT_FALSE(NotaryTool::looksNotarized("The staple and validate action failed!"));
  EXPECT_FALSE(NotaryTool::looksNotarized(""));
}

} // namespace
} // namespace halyard
