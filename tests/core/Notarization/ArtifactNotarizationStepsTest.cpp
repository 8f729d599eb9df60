#include <gtest/gtest.h>

#include "core/Notarization/ArtifactNotarizationSteps.hpp"

namespace halyard {
namespace {

using Steps = ArtifactNotarizationSteps;
using Case = ArtifactNotarizationCoordinatorError::Case;

ToolProcessResult run(int32_t status, std::string standardOutput, std::string standardError = {}) {
  return ToolProcessResult{status, std::move(standardOutput), std::move(standardError)};
}

// The error `step` throws; fails the test when it throws nothing.
template <class Step> ArtifactNotarizationCoordinatorError thrownBy(Step step) {
  try {
    step();
  } catch (const ArtifactNotarizationCoordinatorError& error) {
    return error;
  }
  ADD_FAILURE() << "no error was thrown";
  return ArtifactNotarizationCoordinatorError(Case::missingArtifact);
}

TEST(ArtifactNotarizationStepsTest, AStepReturnsOrFailsWithItsJoinedOutputOrItsOwnSentence) {
  EXPECT_EQ(Steps::checkedOutput(run(0, "  out \n", "\n err "), Case::signingFailed, "x"),
            "err\nout");
  auto error = thrownBy(
      [] { Steps::checkedOutput(run(1, "", "A.dmg: no identity"), Case::signingFailed, "x"); });
  EXPECT_EQ(error.description(), "Signing failed: A.dmg: no identity");
  error = thrownBy([] {
    Steps::checkedOutput(run(1, " \n", ""), Case::validationFailed,
                         "Artifact signature verification failed.");
  });
  EXPECT_EQ(error.description(), "Validation failed: Artifact signature verification failed.");

  // Stapling: a time-out is its own case.
  error = thrownBy([] { Steps::staplingOutput(run(-2, "", "")); });
  EXPECT_EQ(error.description(), "Stapling timed out before it could finish.");
  error = thrownBy([] { Steps::staplingOutput(run(65, "", "")); });
  EXPECT_EQ(error.description(),
            "Stapling failed: stapler exited with status 65 and printed nothing.");
}

TEST(ArtifactNotarizationStepsTest, ValidationCombinesBothChecksWithABlankLine) {
  // stapler speaks on standard output, spctl on standard error.
  const auto staple = run(0, "Processing: /x/A.dmg\nThe validate action worked!\n");
  const auto gatekeeper = run(0, "", "/x/A.dmg: accepted\nsource=Notarized Developer ID\n");
  EXPECT_EQ(Steps::validationOutput(ArtifactKind::dmg, staple, gatekeeper),
            "Processing: /x/A.dmg\nThe validate action worked!\n\n"
            "/x/A.dmg: accepted\nsource=Notarized Developer ID");

  auto error = thrownBy([&] {
    Steps::validationOutput(ArtifactKind::dmg, run(65, "A.dmg has no ticket."), gatekeeper);
  });
  // A failure names what failed, with only the failing tool's words.
  EXPECT_EQ(error.text(), "The stapled ticket did not validate: A.dmg has no ticket.");
  error = thrownBy([&] {
    Steps::validationOutput(ArtifactKind::dmg, staple, run(3, "", "/x/A.dmg: rejected"));
  });
  EXPECT_EQ(error.description(),
            "Validation failed: Gatekeeper rejected the DMG: /x/A.dmg: rejected");
  error = thrownBy([] { Steps::validationOutput(ArtifactKind::pkg, run(0, ""), run(1, "")); });
  EXPECT_EQ(error.description(),
            "Validation failed: The package signature check failed (status 1).");
}

TEST(ArtifactNotarizationStepsTest, AValidationTimeOutAfterStaplingIsANoteNotAFailure) {
  EXPECT_EQ(Steps::validationOutput(ArtifactKind::dmg, run(0, "The validate action worked!"),
                                    run(-2, "", "Process timed out: /usr/sbin/spctl -a")),
            "The validate action worked!\n\nProcess timed out: /usr/sbin/spctl -a\n\n"
            "DMG validation timed out after notarization. Halyard will continue because "
            "notarization and stapling already completed.");
  // A time-out wins over the other check's failure; without output the note stands alone.
  EXPECT_EQ(Steps::validationOutput(ArtifactKind::pkg, run(-2, ""), run(1, "")),
            "PKG validation timed out after notarization. Halyard will continue because "
            "notarization and stapling already completed.");
}

TEST(ArtifactNotarizationStepsTest, IdentitiesKindsAndDigests) {
  EXPECT_EQ(Steps::applicationIdentity(" \n\t"), std::nullopt);
  EXPECT_EQ(Steps::normalizedInstallerIdentity(std::nullopt), "");
  EXPECT_EQ(Steps::normalizedInstallerIdentity(" Example Corp (A1B2C3D4E5) "),
            "Developer ID Installer: Example Corp (A1B2C3D4E5)");
  EXPECT_EQ(Steps::normalizedInstallerIdentity("developer id INSTALLER: Example Corp"),
            "developer id INSTALLER: Example Corp");

  EXPECT_EQ(Steps::detectArtifactKind("/x/My App.DMG"), ArtifactKind::dmg);
  EXPECT_EQ(Steps::detectArtifactKind("Tool.Pkg"), ArtifactKind::pkg);
  const auto error = thrownBy([] { Steps::detectArtifactKind("/x/My App.zip"); });
  EXPECT_EQ(error.description(),
            "Only DMG and PKG standalone artifacts are supported by this coordinator. ZIP imports "
            "should already be extracted to a single app bundle before reaching this flow.");

  EXPECT_EQ(Steps::digest(run(0, "9f86d081884c7d65  /x/A B.pkg\n")), "9f86d081884c7d65");
  EXPECT_EQ(Steps::digest(run(1, "9f86d081884c7d65  /x/A.pkg\n")), "<unavailable>");
  EXPECT_EQ(Steps::digest(run(-1, "", "No such file or directory")), "<unavailable>");
}

} // namespace
} // namespace halyard
