#include <gtest/gtest.h>

#include "core/Inspection/ReleaseCheck.hpp"
#include "core/Inspection/ReleaseCheckReport.hpp"

using namespace halyard;
using Status = ReleaseCheckStatus;

namespace {
PackageSignatureFacts signature(int status, const char* output) {
  return PackageSignatureFacts::from({status, output, ""});
}
} // namespace

TEST(ReleaseCheckFirstMeaningfulLine, SkipsBlankAndProcessingLines) {
  EXPECT_EQ(
      ReleaseCheck::firstMeaningfulLine("Processing: /a/X.dmg\n\n   \n  The real line \nnext"),
      "The real line");
  EXPECT_EQ(ReleaseCheck::firstMeaningfulLine("\r\n  Processing: x\r\nSecond\r\n"), "Second");
  EXPECT_EQ(ReleaseCheck::firstMeaningfulLine("  Processing: only\n"), std::nullopt);
  EXPECT_EQ(ReleaseCheck::firstMeaningfulLine(""), std::nullopt);
  EXPECT_EQ(ReleaseCheck::firstMeaningfulLine("last line without break"),
            "last line without break");
}

TEST(ReleaseCheckSigningRules, VerificationStep) {
  EXPECT_EQ(ReleaseCheck::signatureVerificationFailure(
                0, "X.app: valid on disk\nX.app: satisfies its Designated Requirement"),
            std::nullopt);
  EXPECT_EQ(
      ReleaseCheck::signatureVerificationFailure(1, "X.app: code object is NOT SIGNED at all"),
      Status::failed("Not signed"));
  EXPECT_EQ(ReleaseCheck::signatureVerificationFailure(
                1, "Processing: X\nX.app: a sealed resource is missing or invalid\nfile missing: "
                   "/X.app/Contents/Resources/a.png"),
            Status::failed("X.app: a sealed resource is missing or invalid"));
  EXPECT_EQ(ReleaseCheck::signatureVerificationFailure(3, " \n"),
            Status::failed("The signature is invalid"));
}

TEST(ReleaseCheckSigningRules, CertificateStep) {
  EXPECT_EQ(ReleaseCheck::signingAuthorityStatus(
                "Identifier=com.example.x\n"
                "Authority=Developer ID Application: Example Corp (A1B2C3D4E5)\n"
                "Authority=Developer ID Certification Authority\n"),
            Status::passed());
  const auto wrong = Status::failed("Not signed with a Developer ID Application certificate");
  EXPECT_EQ(ReleaseCheck::signingAuthorityStatus(
                "Authority=Apple Development: dev@example.com (F6G7H8J9K0)\n"),
            wrong);
  EXPECT_EQ(ReleaseCheck::signingAuthorityStatus("Signature=adhoc\nTeamIdentifier=not set\n"),
            wrong);
}

TEST(ReleaseCheckSigningRules, PackageSignature) {
  const auto signedPackage = "Package \"X.pkg\":\n   Status: signed by a developer certificate\n"
                             "    1. Developer ID Installer: Example Corp (A1B2C3D4E5)\n";
  EXPECT_EQ(ReleaseCheck::packageSigningStatus(signature(0, signedPackage)), Status::passed());
  EXPECT_EQ(ReleaseCheck::packageSigningStatus(signature(1, signedPackage)),
            Status::failed("Not signed"));
  EXPECT_EQ(ReleaseCheck::packageSigningStatus(
                signature(0, "Package \"X.pkg\":\n   Status: No Signature\n")),
            Status::failed("Not signed"));
  EXPECT_EQ(ReleaseCheck::packageSigningStatus(signature(
                0, "   Status: signed\n    1. 3rd Party Mac Developer Installer: E (T)\n")),
            Status::failed("Not signed with a Developer ID Installer certificate"));
}

TEST(ReleaseCheckNotarizationRules, FromTheGatekeeperAssessment) {
  const auto status = [](int exit, const char* output) {
    return ReleaseCheck::notarizationStatus(Gatekeeper::read({exit, output, ""}));
  };
  EXPECT_EQ(status(0, "X.app: accepted\nsource=Notarized Developer ID\norigin=Developer ID "
                      "Application: E (T)"),
            Status::passed());
  const auto noTicket = Status::failed("Signed, but Apple has no notarization ticket for it");
  EXPECT_EQ(status(3, "X.dmg: rejected\nsource=Unnotarized Developer ID"), noTicket);
  EXPECT_EQ(status(0, "X.app: accepted\nsource=Developer ID"), noTicket);
  // Notarized in name only: the assessment itself did not succeed.
  EXPECT_EQ(status(3, "X.app: REJECTED\nsource=Notarized Developer ID"),
            Status::failed("Gatekeeper rejects it"));
  EXPECT_EQ(status(3, "X.app: rejected\nsource=no usable signature"),
            Status::failed("Gatekeeper rejects it"));
  EXPECT_EQ(status(1, "Processing: X\nX.pkg: the package could not be assessed\n"),
            Status::failed("X.pkg: the package could not be assessed"));
  EXPECT_EQ(status(1, ""), Status::failed("Not notarized"));
}

// How stapler's answer is read is Stapler's (StaplerTest); here the reasons a failure gives.
TEST(ReleaseCheckStaplingRules, FromTheTicketValidation) {
  const auto status = [](int32_t exit, const char* output) {
    return ReleaseCheck::staplingStatus({{exit, output, ""}});
  };
  EXPECT_EQ(status(0, "Processing: /o/X.dmg\nThe validate action worked!\n"), Status::passed());
  EXPECT_EQ(status(65, "Processing: /o/X.dmg\nX.dmg does not have a ticket stapled to it.\n"),
            Status::failed("No ticket stapled"));
  EXPECT_EQ(status(65, "Processing: /o/X.dmg\nCould not validate ticket\n"),
            Status::failed("Could not validate ticket"));
  EXPECT_EQ(status(65, "Processing: /o/X.dmg\n"), Status::failed("No ticket stapled"));
}

TEST(ReleaseCheckRunRules, UnfinishedRunsNameTheTool) {
  EXPECT_EQ(ReleaseCheck::unfinishedRunFailure(-1, "spctl", " No such file or directory\n", 300),
            Status::failed("Could not run spctl: No such file or directory"));
  EXPECT_EQ(ReleaseCheck::unfinishedRunFailure(-1, "spctl", "", 300),
            Status::failed("Could not run spctl"));
  EXPECT_EQ(ReleaseCheck::unfinishedRunFailure(-2, "stapler", "", 300),
            Status::failed("stapler did not finish within 300 seconds and was stopped"));
  EXPECT_EQ(ReleaseCheck::unfinishedRunFailure(0, "spctl", "", 300), std::nullopt);
  EXPECT_EQ(ReleaseCheck::unfinishedRunFailure(3, "spctl", "", 300), std::nullopt);
}

TEST(ReleaseCheckValues, StatusAndLogLine) {
  EXPECT_EQ(Status::failed("x").reason(), "x");
  EXPECT_EQ(Status::passed().reason(), std::nullopt);
  EXPECT_NE(Status::failed("x"), Status::failed("y"));
  EXPECT_NE(Status::failed(""), Status::passed());

  ReleaseCheckResult result{"My App.dmg", Status::passed(), Status::passed(), Status::passed()};
  EXPECT_TRUE(result.allPassed());
  EXPECT_EQ(result.logLine(),
            "My App.dmg - Signing: passed, Notarization: passed, Stapling: passed");
  result.notarization = Status::failed("Gatekeeper rejects it");
  result.stapling = Status::failed("No ticket stapled");
  EXPECT_FALSE(result.allPassed());
  EXPECT_EQ(result.logLine(), "My App.dmg - Signing: passed, Notarization: failed (Gatekeeper "
                              "rejects it), Stapling: failed (No ticket stapled)");
}

TEST(ReleaseCheckValues, ReportPassesOnlyWhenSomethingWasCheckedAndAllPassed) {
  const ReleaseCheckResult good{"A.app", Status::passed(), Status::passed(), Status::passed()};
  auto bad = good;
  bad.signing = Status::failed("Not signed");

  ReleaseCheckReport report;
  EXPECT_FALSE(report.allPassed());
  EXPECT_EQ(report.headline(), "Some checks need attention");
  report.dmg = good;
  EXPECT_TRUE(report.allPassed());
  EXPECT_EQ(report.headline(), "All checks passed");
  report.app = bad;
  EXPECT_FALSE(report.allPassed());
  EXPECT_EQ(report.headline(), "Some checks need attention");
}
