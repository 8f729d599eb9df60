#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <fstream>

#include "core/Process/CoreCommand.hpp"
#include "core/Signing/CodeSigner.hpp"
#include "support/StandInRoot.hpp"

using namespace halyard;
using bosun::testing::StandInRoot;
using ::testing::StartsWith;
using Strings = std::vector<std::string>;

TEST(CodeSignerArguments, AppSignatureAsksForRuntimeTimestampAndKeepsMetadata) {
  const Strings plain{"--force",
                      "--options",
                      "runtime",
                      "--timestamp",
                      "--preserve-metadata=identifier,entitlements,flags",
                      "--sign",
                      "Developer ID Application: Example Corp (A1B2C3D4E5)",
                      "/tmp/Work/My App.app"};
  const auto identity = "Developer ID Application: Example Corp (A1B2C3D4E5)";
  EXPECT_EQ(CodeSigner::signAppArguments("/tmp/Work/My App.app", identity, false), plain);

  const auto deep = CodeSigner::signAppArguments("/tmp/Work/My App.app", identity, true);
  ASSERT_EQ(deep.size(), 9u);
  EXPECT_EQ(deep[7], "--deep"); // after the identity, right before the path
  EXPECT_EQ(deep[8], "/tmp/Work/My App.app");
}

TEST(CodeSignerArguments, VerificationAndDiskImageCommandLines) {
  EXPECT_EQ(CodeSigner::deepVerifyArguments("/a b/X.app"),
            (Strings{"--verify", "--deep", "--strict", "--verbose=4", "/a b/X.app"}));
  EXPECT_EQ(CodeSigner::signDiskImageArguments("/o/X.dmg", "Developer ID Application: E (T)"),
            (Strings{"--force", "--sign", "Developer ID Application: E (T)", "/o/X.dmg"}));
  EXPECT_EQ(CodeSigner::verifyDiskImageArguments("/o/X.dmg"),
            (Strings{"--verify", "--verbose=2", "/o/X.dmg"}));
}

TEST(DeepVerificationResult, OnlyAProcessTimeOutCountsAsTimedOut) {
  EXPECT_EQ(DeepVerificationResult::fromError(CoreCommandError(-2, "stopped")),
            DeepVerificationResult::timedOut());
  EXPECT_EQ(DeepVerificationResult::fromError(Error("Halyard.other", -2, "elsewhere")),
            DeepVerificationResult::failed("elsewhere"));
  EXPECT_EQ(DeepVerificationResult::fromError(CoreCommandError(1, "X.app: invalid")),
            DeepVerificationResult::failed("X.app: invalid"));
  EXPECT_EQ(DeepVerificationResult::fromError(std::runtime_error("odd")),
            DeepVerificationResult::failed("odd"));
}

namespace {

// The signer against the stand-in codesign, with one Developer ID Application identity.
class CodeSignerRuns : public ::testing::Test {
protected:
  void SetUp() override { stand.addIdentity(StandInRoot::application); }
  bosun::testing::StandInRootInForce stand;
};

} // namespace

TEST_F(CodeSignerRuns, SignsAPathWithSpacesAndReportsVerificationOutcomes) {
  const auto app = stand.makeApp("My App");
  CodeSigner::signApp(app, StandInRoot::application, true, 30);
  EXPECT_EQ(CodeSigner::deepVerify(app, 30), DeepVerificationResult::passed());

  std::ofstream(app / "Contents/Resources/readme.txt") << "changed after signing";
  const auto tampered = CodeSigner::deepVerify(app, 30);
  EXPECT_EQ(tampered.kind(), DeepVerificationResult::Kind::failed);
  EXPECT_THAT(tampered.failureText(),
              StartsWith(app.string() + ": a sealed resource is missing or invalid"));

  // The tool root has no codesign at all: a failure, not a time-out.
  std::filesystem::remove(stand.root() / "usr/bin/codesign");
  EXPECT_EQ(CodeSigner::deepVerify(app, 30).kind(), DeepVerificationResult::Kind::failed);
}

TEST_F(CodeSignerRuns, StoppedByTheLimitIsATimeOut) {
  stand.set("MACSIM_CODESIGN_DELAY", "30");
  EXPECT_EQ(CodeSigner::deepVerify("/x/X.app", 0.5), DeepVerificationResult::timedOut());
  try {
    CodeSigner::signApp("/x/X.app", "nobody", false, 0.5);
    FAIL() << "signing should have timed out";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), CoreCommandError::timeoutCode);
    EXPECT_EQ(error.description(), "The signing step took too long and was stopped.");
  }
}

TEST_F(CodeSignerRuns, FailuresPassThroughAndDiskImageOperationsReturnTheToolsOutput) {
  try {
    CodeSigner::signApp(stand.makeApp("X"), "nobody", false, 30);
    FAIL() << "signing should have failed";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.description(), "nobody: no identity found");
  }

  const auto image = stand.work() / "X.dmg";
  std::ofstream(image) << "image";
  EXPECT_EQ(CodeSigner::signDiskImage(image, StandInRoot::application), "");
  EXPECT_EQ(CodeSigner::verifyDiskImage(image), image.string() + ": valid on disk\n" +
                                                    image.string() +
                                                    ": satisfies its Designated Requirement");
}
