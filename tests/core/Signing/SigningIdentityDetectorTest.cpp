#include <gtest/gtest.h>

#include "core/Signing/ScriptedToolRoot.hpp"
#include "core/Signing/SigningIdentityDetector.hpp"

using namespace halyard;
using halyard::testing::ScriptedToolRoot;
using Strings = std::vector<std::string>;

namespace {
constexpr auto kApplication = SigningIdentityKind::application;
constexpr auto kInstaller = SigningIdentityKind::installer;

const char* const listing =
    "  1) 3C4E6F00112233445566778899AABBCCDDEEFF00 \"Developer ID Application: Example Corp "
    "(A1B2C3D4E5)\"\n"
    "  2) 8A1B2C00112233445566778899AABBCCDDEEFF00 \"Apple Development: dev@example.com "
    "(F6G7H8J9K0)\"\n"
    "  3) 9B1B2C00112233445566778899AABBCCDDEEFF00 \"Developer ID Installer: Example Corp "
    "(A1B2C3D4E5)\"\n"
    "  4) 3C4E6F00112233445566778899AABBCCDDEEFF00 \"Developer ID Application: Example Corp "
    "(A1B2C3D4E5)\"\n"
    "  5) 7C4E6F00112233445566778899AABBCCDDEEFF00 \"Developer ID Application: Other \"Q\" Ltd "
    "(Z9Y8X7W6V5)\"\n"
    "     5 valid identities found\n";
} // namespace

TEST(SigningIdentityParsing, KeepsOwnKindInOrderOnceWithInnerQuotes) {
  EXPECT_EQ(SigningIdentityDetector::parseIdentities(listing, kApplication),
            (Strings{"Developer ID Application: Example Corp (A1B2C3D4E5)",
                     "Developer ID Application: Other \"Q\" Ltd (Z9Y8X7W6V5)"}));
  EXPECT_EQ(SigningIdentityDetector::parseIdentities(listing, kInstaller),
            (Strings{"Developer ID Installer: Example Corp (A1B2C3D4E5)"}));
}

TEST(SigningIdentityParsing, SkipsLinesWithoutAPairOfQuotesAndNearMisses) {
  const auto output = std::string("no quotes here\n") +
                      "  1) AB \"Developer ID Application: Cut\n" +
                      "  2) AB \"developer id application: Lower (T)\"\n" +
                      "  3) AB \"Developer ID Application (T)\"\n" +
                      "  4) AB \" Developer ID Application: Lead (T)\"\n" + "\n\n" +
                      "     0 valid identities found";
  EXPECT_TRUE(SigningIdentityDetector::parseIdentities(output, kApplication).empty());
  EXPECT_TRUE(SigningIdentityDetector::parseIdentities("", kApplication).empty());
}

TEST(SigningIdentityParsing, NameIsTakenVerbatimWithoutTrimming) {
  EXPECT_EQ(SigningIdentityDetector::parseIdentities(
                "1) AB \"Developer ID Application:  Two  Blanks (T) \"\r\n", kApplication),
            (Strings{"Developer ID Application:  Two  Blanks (T) "}));
}

TEST(SigningIdentityDetection, ReadsStandardOutputWhateverTheExitStatus) {
  ScriptedToolRoot tools;
  tools.addRecordingTool("/usr/bin/security", "args",
                         "printf '  1) AB \"Developer ID Installer: E (T)\"\\n'\n"
                         "echo '  2) AB \"Developer ID Installer: On stderr (T)\"' >&2\n"
                         "exit 1");
  EXPECT_EQ(SigningIdentityDetector::identities(kInstaller),
            (Strings{"Developer ID Installer: E (T)"}));
  EXPECT_EQ(tools.recordedLines("args"), (Strings{"find-identity", "-v", "-p", "basic"}));
}

TEST(SigningIdentityDetection, UnreadableOrMissingToolGivesNoIdentities) {
  ScriptedToolRoot tools;
  tools.addTool("/usr/bin/security",
                "printf '  1) AB \"Developer ID Application: Caf\\351 (T)\"\\n'"); // Latin-1
  EXPECT_TRUE(SigningIdentityDetector::identities(kApplication).empty());

  std::filesystem::remove(tools.root() / "usr/bin/security");
  EXPECT_TRUE(SigningIdentityDetector::identities(kApplication).empty());
}
