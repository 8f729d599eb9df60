#include <gtest/gtest.h>

#include "core/Notarization/ArtifactNotarizationSteps.hpp"

namespace halyard {
namespace {

using Steps = ArtifactNotarizationSteps;
using Case = ArtifactNotarizationCoordinatorError::Case;

ToolProcessResult run(int32_t status, std::string standardOutput, std::string standardError = {}) {
  return ToolProcessResult{status, std::move(standardOutput), std::move(standardError)};
}

// Runs `step` and returns the error it throws; fails the test when it throws nothing.
template <class Step> ArtifactNotarizationCoordinatorError thrownBy(Step step) {
  try {
    step();
  } catch (const ArtifactNotarizationCoordinatorError& error) {
    return error;
  }
  ADD_FAILURE() << "no error was thrown";
  return ArtifactNotarizationCoordinatorError(Case::missingArtifact);
}

TEST(ArtifactNotarizationErrorTest, DescriptionsPutTheirPrefixBeforeTheText) {
  const std::pair<Case, std::string> expected[] = {
      {Case::unsupportedArtifactType, "words"},
      {Case::signingFailed, "Signing failed: words"},
      {Case::notarizationFailed, "Notarization failed: words"},
      {Case::staplingFailed, "Stapling failed: words"},
      {Case::validationFailed, "Validation failed: words"},
      {Case::timeout, "words"},
      {Case::missingArtifact, "The selected artifact could not be found."},
  };
  for (const auto& [errorCase, description] : expected) {
    const ArtifactNotarizationCoordinatorError error(errorCase, "words");
    EXPECT_EQ(error.description(), description);
    EXPECT_EQ(error.domain(), "Halyard.artifactNotarization");
  }
}

TEST(ArtifactNotarizationStepsTest, AStepReturnsOrFailsWithItsJoinedOutputStandardErrorFirst) {
  EXPECT_EQ(Steps::checkedOutput(run(0, "  out \n", "\n err "), Case::signingFailed, "x"),
            "err\nout");
  EXPECT_EQ(Steps::checkedOutput(run(0, "", ""), Case::signingFailed, "x"), "");

  auto error = thrownBy(
      [] { Steps::checkedOutput(run(1, "", "a.dmg: no identity"), Case::signingFailed, "x"); });
  EXPECT_EQ(error.errorCase(), Case::signingFailed);
  EXPECT_EQ(error.description(), "Signing failed: a.dmg: no identity");

  // A tool that printed nothing fails with the step's own sentence; so does one that could not
  // start without explanation.
  error = thrownBy([] {
    Steps::checkedOutput(run(1, " \n", ""), Case::validationFailed,
                         "Artifact signature verification failed.");
  });
  EXPECT_EQ(error.description(), "Validation failed: Artifact signature verification failed.");
}

TEST(ArtifactNotarizationStepsTest, SubmissionFailuresByStatus) {
  auto error = thrownBy([] {
    Steps::submissionOutput(run(-2, "", "Process timed out: /usr/bin/xcrun notarytool submit"));
  });
  EXPECT_EQ(error.errorCase(), Case::timeout);
  EXPECT_EQ(error.description(), "Process timed out: /usr/bin/xcrun notarytool submit");

  error = thrownBy([] { Steps::submissionOutput(run(-2, "", "")); });
  EXPECT_EQ(error.description(), "Timed out while waiting for Apple notarization to finish.");

  error = thrownBy([] { Steps::submissionOutput(run(69, "", "")); });
  EXPECT_EQ(error.errorCase(), Case::notarizationFailed);
  EXPECT_EQ(error.description(), "Notarization failed: Notarytool submission failed.");

  error = thrownBy([] { Steps::submissionOutput(run(1, "Error: HTTP status code: 401", "")); });
  EXPECT_EQ(error.description(), "Notarization failed: Error: HTTP status code: 401");
}

TEST(ArtifactNotarizationStepsTest, AnInvalidOrRejectedVerdictFailsEvenThoughTheToolExitedZero) {
  const std::string invalid = "Conducting pre-submission checks for A.dmg...\n"
                              "Waiting for processing to complete.\n"
                              "Current status: Invalid.....\n"
                              "Processing complete\n"
                              "  id: 2efe2717-52ef-43a5-96dc-0797e4ca1041\n"
                              "  status: Invalid\n";
  auto error = thrownBy([&] { Steps::submissionOutput(run(0, invalid)); });
  EXPECT_EQ(error.errorCase(), Case::notarizationFailed);
  EXPECT_EQ(error.text(), "Conducting pre-submission checks for A.dmg...\n"
                          "Waiting for processing to complete.\n"
                          "Current status: Invalid.....\n"
                          "Processing complete\n"
                          "  id: 2efe2717-52ef-43a5-96dc-0797e4ca1041\n"
                          "  status: Invalid");

  for (const char* output : {"  STATUS: rejected", "status:Invalid", "Current status: REJECTED...",
                             "x\r\n  status: Invalid\r\n"}) {
    EXPECT_TRUE(Steps::reportsRejectedVerdict(output)) << output;
  }
  for (const char* output :
       {"  status: Accepted", "Current status: In Progress...\n  status: Accepted",
        "status: Invalidated", "The status: Invalid line is quoted here", "invalid", ""}) {
    EXPECT_FALSE(Steps::reportsRejectedVerdict(output)) << output;
  }
  EXPECT_EQ(Steps::submissionOutput(run(0, "Processing complete\n  status: Accepted\n")),
            "Processing complete\n  status: Accepted");
}

TEST(ArtifactNotarizationStepsTest, StaplingFailuresByStatus) {
  auto error = thrownBy([] { Steps::staplingOutput(run(-2, "", "")); });
  EXPECT_EQ(error.errorCase(), Case::timeout);
  EXPECT_EQ(error.description(), "Stapling timed out before it could finish.");

  error = thrownBy([] {
    Steps::staplingOutput(run(65, "The staple and validate action failed! Error 65.\n",
                              "CloudKit query for A.dmg failed"));
  });
  EXPECT_EQ(error.errorCase(), Case::staplingFailed);
  EXPECT_EQ(error.description(), "Stapling failed: CloudKit query for A.dmg failed\n"
                                 "The staple and validate action failed! Error 65.");

  error = thrownBy([] { Steps::staplingOutput(run(65, "", "")); });
  EXPECT_EQ(error.description(), "Stapling failed: Stapling failed.");
}

TEST(ArtifactNotarizationStepsTest, ValidationCombinesBothChecksWithABlankLine) {
  // stapler speaks on standard output, spctl on standard error.
  const auto staple = run(0, "Processing: /x/A.dmg\nThe validate action worked!\n");
  const auto gatekeeper = run(0, "", "/x/A.dmg: accepted\nsource=Notarized Developer ID\n");
  EXPECT_EQ(Steps::validationOutput(ArtifactKind::dmg, staple, gatekeeper),
            "Processing: /x/A.dmg\nThe validate action worked!\n\n"
            "/x/A.dmg: accepted\nsource=Notarized Developer ID");
  EXPECT_EQ(Steps::validationOutput(ArtifactKind::pkg, run(0, ""), run(0, "Package ok")),
            "Package ok");

  auto error = thrownBy([&] {
    Steps::validationOutput(ArtifactKind::dmg,
                            run(65, "A.dmg does not have a ticket stapled to it."), gatekeeper);
  });
  EXPECT_EQ(error.errorCase(), Case::validationFailed);
  EXPECT_EQ(error.text(), "A.dmg does not have a ticket stapled to it.\n\n"
                          "/x/A.dmg: accepted\nsource=Notarized Developer ID");

  error = thrownBy([] { Steps::validationOutput(ArtifactKind::dmg, run(0, ""), run(3, "")); });
  EXPECT_EQ(error.description(), "Validation failed: DMG validation failed.");
  error = thrownBy([] { Steps::validationOutput(ArtifactKind::pkg, run(1, ""), run(0, "")); });
  EXPECT_EQ(error.description(), "Validation failed: PKG validation failed.");
}

TEST(ArtifactNotarizationStepsTest, AValidationTimeOutAfterStaplingIsANoteNotAFailure) {
  const auto timedOut = run(-2, "", "Process timed out: /usr/sbin/spctl -a");
  EXPECT_EQ(
      Steps::validationOutput(ArtifactKind::dmg, run(0, "The validate action worked!"), timedOut),
      "The validate action worked!\n\nProcess timed out: /usr/sbin/spctl -a\n\n"
      "DMG validation timed out after notarization. Halyard will continue because "
      "notarization and stapling already completed.");
  // A time-out wins over the other check's failure, and the note stands alone without output.
  EXPECT_EQ(Steps::validationOutput(ArtifactKind::pkg, run(-2, ""), run(1, "")),
            "PKG validation timed out after notarization. Halyard will continue because "
            "notarization and stapling already completed.");
}

TEST(ArtifactNotarizationStepsTest, SigningIdentities) {
  EXPECT_EQ(Steps::applicationIdentity(std::nullopt), std::nullopt);
  EXPECT_EQ(Steps::applicationIdentity(" \n\t"), std::nullopt);
  EXPECT_EQ(Steps::applicationIdentity(" Developer ID Application: Example Corp (A1B2C3D4E5)\n"),
            "Developer ID Application: Example Corp (A1B2C3D4E5)");

  EXPECT_EQ(Steps::normalizedInstallerIdentity(std::nullopt), "");
  EXPECT_EQ(Steps::normalizedInstallerIdentity("   "), "");
  EXPECT_EQ(Steps::normalizedInstallerIdentity(" Example Corp (A1B2C3D4E5) "),
            "Developer ID Installer: Example Corp (A1B2C3D4E5)");
  EXPECT_EQ(Steps::normalizedInstallerIdentity("developer id INSTALLER: Example Corp (A1B2C3D4E5)"),
            "developer id INSTALLER: Example Corp (A1B2C3D4E5)");
}

TEST(ArtifactNotarizationStepsTest, KindByExtensionInAnyLetterCase) {
  EXPECT_EQ(Steps::detectArtifactKind("/x/My App.DMG"), ArtifactKind::dmg);
  EXPECT_EQ(Steps::detectArtifactKind("Tool.Pkg"), ArtifactKind::pkg);
  for (const char* file : {"/x/My App.zip", "/x/pkg", "/x/dmg.app"}) {
    const auto error = thrownBy([&] { Steps::detectArtifactKind(file); });
    EXPECT_EQ(error.errorCase(), Case::unsupportedArtifactType);
    EXPECT_EQ(error.description(),
              "Only DMG and PKG standalone artifacts are supported by this coordinator. ZIP "
              "imports should already be extracted to a single app bundle before reaching this "
              "flow.");
  }
}

TEST(ArtifactNotarizationStepsTest, DigestAndTimeOutTexts) {
  EXPECT_EQ(Steps::digest(run(0, "9f86d081884c7d65  /x/A B.pkg\n")), "9f86d081884c7d65");
  EXPECT_EQ(Steps::digest(run(1, "9f86d081884c7d65  /x/A.pkg\n")), "<unavailable>");
  EXPECT_EQ(Steps::digest(run(0, "")), "<unavailable>");
  EXPECT_EQ(Steps::digest(run(-1, "", "No such file or directory")), "<unavailable>");

  EXPECT_EQ(Steps::timeoutText("/usr/bin/xcrun", {"stapler", "staple", "/x/A B.dmg"}),
            "Process timed out: /usr/bin/xcrun stapler staple /x/A B.dmg");
}

} // namespace
} // namespace halyard
