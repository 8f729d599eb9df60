#include <gtest/gtest.h>

#include "core/Inspection/PKGInspectionRules.hpp"

using namespace halyard;

namespace {
using S = InspectionStatus;
using ID = InspectionFieldID;

const char* signedPackage = "Package \"X.pkg\":\n"
                            "   Status: signed by a developer certificate issued by Apple for "
                            "distribution\n"
                            "   Notarization: trusted by the Apple notary service\n"
                            "   Signed with a trusted timestamp on: 2026-12-06 10:15:02 +0000\n"
                            "   Certificate Chain:\n"
                            "    1. Developer ID Installer: Example Corp (A1B2C3D4E5)\n"
                            "       Expires: 2031-12-05 10:15:02 +0000\n"
                            "    2. Developer ID Certification Authority\n"
                            "    3. Apple Root CA\n";
} // namespace

TEST(PKGInspectionRulesTest, SignedPackage) {
  const auto facts = PackageSignatureFacts::from(ProcessOutcome{0, signedPackage, ""});
  EXPECT_TRUE(facts.isSigned);
  EXPECT_EQ(facts.signer, "Developer ID Installer: Example Corp (A1B2C3D4E5)");
  EXPECT_EQ(facts.teamIdentifier, "A1B2C3D4E5");
  EXPECT_TRUE(facts.trustedTimestamp);
  EXPECT_EQ(facts.packageIdentifier, std::nullopt);

  const auto fields = PKGInspectionRules::signatureFields(facts);
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0].title(), "Package signature");
  EXPECT_EQ(fields[0].value(), "Valid.");
  EXPECT_EQ(fields[0].weight(), 20);
  EXPECT_EQ(fields[0].detail(), facts.output);
  EXPECT_EQ(fields[1], InspectionField(ID::developer, "Developer",
                                       "Developer ID Installer: Example Corp (A1B2C3D4E5)",
                                       std::nullopt, S::pass, 10));
  EXPECT_EQ(fields[2],
            InspectionField(ID::teamIdentifier, "Team ID", "A1B2C3D4E5", std::nullopt, S::info, 0));
  EXPECT_EQ(fields[3], InspectionField(ID::timestamp, "Secure timestamp",
                                       "Trusted timestamp present.", std::nullopt, S::pass, 5));
}

TEST(PKGInspectionRulesTest, UnsignedPackage) {
  for (const int status : {1, 0}) {
    const auto facts = PackageSignatureFacts::from(
        ProcessOutcome{status, "Package \"X.pkg\":\n   Status: no signature\n", ""});
    EXPECT_FALSE(facts.isSigned);
    const auto fields = PKGInspectionRules::signatureFields(facts);
    EXPECT_EQ(fields[0].value(), "Missing or invalid.");
    EXPECT_EQ(fields[0].status(), S::fail);
    EXPECT_EQ(fields[1].value(), "Could not be determined.");
    EXPECT_EQ(fields[1].status(), S::warning);
    EXPECT_EQ(fields[2].value(), "Not found.");
    EXPECT_EQ(fields[2].status(), S::warning);
    EXPECT_EQ(fields[3].value(), "No trusted timestamp found.");
  }
}

TEST(PKGInspectionRulesTest, TeamIdentifierSources) {
  // An explicit line wins over the signer's name.
  auto facts = PackageSignatureFacts::from(
      ProcessOutcome{0,
                     std::string(signedPackage) + "   Team Identifier: Z9Y8X7W6V5\n"
                                                  "   Package Identifier: com.example.pkg\n",
                     ""});
  EXPECT_EQ(facts.teamIdentifier, "Z9Y8X7W6V5");
  EXPECT_EQ(facts.packageIdentifier, "com.example.pkg");

  using R = PKGInspectionRules;
  using F = PackageSignatureFacts;
  EXPECT_EQ(F::teamIdentifierInName("Signer Name (A1B2C3D4E5) \t "), "A1B2C3D4E5");
  EXPECT_EQ(F::teamIdentifierInName("(A1B2C3D4E5)"), "A1B2C3D4E5");
  EXPECT_EQ(F::teamIdentifierInName("Name (a1b2c3d4e5)"), std::nullopt);
  EXPECT_EQ(F::teamIdentifierInName("Name (A1B2C3D4E)"), std::nullopt);
  EXPECT_EQ(F::teamIdentifierInName("Name (A1B2C3D4E5) trailing"), std::nullopt);
  EXPECT_EQ(F::teamIdentifierInName("A1B2C3D4E5)"), std::nullopt);

  facts = PackageSignatureFacts::from(ProcessOutcome{0, "   Signer: Somebody Else\n", ""});
  EXPECT_EQ(facts.signer, "Somebody Else");
  EXPECT_EQ(facts.teamIdentifier, std::nullopt);
  EXPECT_EQ(R::signatureFields(facts)[2].value(), "Not found.");
}

TEST(PKGInspectionRulesTest, GatekeeperTicketAndNotarization) {
  using R = PKGInspectionRules;
  const auto accepted = R::fileGatekeeper(
      Gatekeeper::read({0, "", "X.pkg: accepted\nsource=Notarized Developer ID\n"}));
  EXPECT_EQ(accepted.title(), "Gatekeeper");
  EXPECT_EQ(accepted.value(), "Accepted - Notarized Developer ID.");
  EXPECT_EQ(accepted.weight(), 10);
  const auto rejected = R::fileGatekeeper(Gatekeeper::read({3, "", "X.pkg: rejected"}));
  EXPECT_EQ(rejected.value(), "Rejected by Gatekeeper.");
  EXPECT_EQ(rejected.status(), S::fail);

  const auto stapled = R::fileStapled({ProcessOutcome{0, "The validate action worked!\n", ""}});
  EXPECT_EQ(stapled.title(), "Ticket stapled");
  EXPECT_EQ(stapled.value(), "Yes - installs even without internet.");
  EXPECT_EQ(stapled.detail(), "The validate action worked!");
  EXPECT_EQ(R::fileStapled({ProcessOutcome{65, "", ""}}).value(), "No ticket stapled.");

  // A stapled ticket is proof enough, even when Gatekeeper does not say so.
  EXPECT_EQ(R::notarization(false, true).value(), "Apple notarized this package.");
  EXPECT_EQ(R::notarization(true, false).status(), S::pass);
  EXPECT_EQ(R::notarization(false, false).value(), "No notarization proof was found.");
  EXPECT_EQ(R::notarization(false, false).status(), S::warning);
}
