#include <gtest/gtest.h>

#include "core/Signing/SigningIdentityDetector.hpp"
#include "core/Signing/SigningIdentityListingError.hpp"
#include "support/StandInRoot.hpp"

using namespace halyard;
using bosun::testing::StandInRoot;
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

TEST(SigningIdentityParsing, KeepsNamesOfTheKindVerbatimInOrderOnce) {
  const struct {
    std::string output;
    SigningIdentityKind kind;
    Strings expected;
  } cases[] = {
      {listing,
       kApplication,
       {"Developer ID Application: Example Corp (A1B2C3D4E5)",
        "Developer ID Application: Other \"Q\" Ltd (Z9Y8X7W6V5)"}},
      {listing, kInstaller, {"Developer ID Installer: Example Corp (A1B2C3D4E5)"}},
      // No pair of quotes, or near misses of the prefix.
      {"no quotes here\n"
       "  1) AB \"Developer ID Application: Cut\n"
       "  2) AB \"developer id application: Lower (T)\"\n"
       "  3) AB \"Developer ID Application (T)\"\n"
       "  4) AB \" Developer ID Application: Lead (T)\"\n\n\n"
       "     0 valid identities found",
       kApplication,
       {}},
      {"", kApplication, {}},
      // Taken verbatim, without trimming.
      {"1) AB \"Developer ID Application:  Two  Blanks (T) \"\r\n",
       kApplication,
       {"Developer ID Application:  Two  Blanks (T) "}},
  };
  for (const auto& test : cases)
    EXPECT_EQ(SigningIdentityDetector::parseIdentities(test.output, test.kind), test.expected)
        << test.output;
}

// Against the stand-in security tool: installer identities are listed only by the "basic"
// policy, so finding one shows which policy was asked for.
TEST(SigningIdentityDetection, AsksThePolicyOfTheKindAndReadsStandardOutputWhateverTheStatus) {
  bosun::testing::StandInRootInForce stand;
  stand.addIdentity(StandInRoot::application);
  stand.addIdentity(StandInRoot::installer);
  EXPECT_EQ(SigningIdentityDetector::list(kInstaller).installed(),
            (Strings{StandInRoot::installer}));
  EXPECT_EQ(SigningIdentityDetector::list(kApplication).installed(),
            (Strings{StandInRoot::application}));

  stand.set("MACSIM_SECURITY_FAIL", "1");
  stand.set("MACSIM_SECURITY_STDOUT", "  1) AB \"Developer ID Installer: E (T)\"");
  stand.set("MACSIM_SECURITY_STDERR", "  2) AB \"Developer ID Installer: On stderr (T)\"");
  EXPECT_EQ(SigningIdentityDetector::list(kInstaller).installed(),
            (Strings{"Developer ID Installer: E (T)"}));

  // Not UTF-8 (Latin-1): no identities. No tool at all: not an empty keychain but an error.
  stand.set("MACSIM_SECURITY_STDOUT", "  1) AB \"Developer ID Application: Caf\xE9 (T)\"");
  EXPECT_TRUE(SigningIdentityDetector::list(kApplication).installed().empty());
  stand.set("MACSIM_SECURITY_FAIL", "");
  std::filesystem::remove(stand.root() / "usr/bin/security");
  EXPECT_THROW((void)SigningIdentityDetector::list(kApplication).installed(),
               SigningIdentityListingError);
}

// doctor, start and notarize all ask this one question, so they cannot disagree.
TEST(SigningIdentityMatching, ConfiguredTextIsFoundWithUnicodeCaseFolding) {
  const std::vector<std::string> installed{"Developer ID Application: Example Corp (A1B2C3D4E5)",
                                           "Developer ID Application: JÖRG MÜLLER (F6G7H8J9K0)",
                                           "Developer ID Application: Straße GmbH (K1L2M3N4P5)"};
  const struct {
    const char* configured;
    const char* found; // nullptr: no match
  } rows[] = {
      {"jörg müller", "Developer ID Application: JÖRG MÜLLER (F6G7H8J9K0)"},
      {"F6G7H8J9K0", "Developer ID Application: JÖRG MÜLLER (F6G7H8J9K0)"},
      {"STRASSE", "Developer ID Application: Straße GmbH (K1L2M3N4P5)"},
      {"example corp", "Developer ID Application: Example Corp (A1B2C3D4E5)"},
      {"jorg muller", nullptr},
      {"Developer ID Installer", nullptr},
      {"", nullptr},
  };
  for (const auto& row : rows) {
    const auto match = SigningIdentityDetector::firstMatch(installed, row.configured);
    if (row.found)
      EXPECT_EQ(match, std::optional<std::string>(row.found)) << row.configured;
    else
      EXPECT_EQ(match, std::nullopt) << row.configured;
  }
}
