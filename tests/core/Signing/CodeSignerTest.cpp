#include <gtest/gtest.h>

#include <chrono>

#include "core/Process/CoreCommand.hpp"
#include "core/Signing/CodeSigner.hpp"
#include "core/Signing/ScriptedToolRoot.hpp"

using namespace halyard;
using halyard::testing::ScriptedToolRoot;
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

TEST(CodeSignerRuns, PathWithSpacesArrivesAsOneArgument) {
  ScriptedToolRoot tools;
  tools.addRecordingTool("/usr/bin/codesign", "args", "exit 0");
  CodeSigner::signApp(tools.root() / "My App.app", "Developer ID Application: E (T)", true, 30);
  const auto recorded = tools.recordedLines("args");
  ASSERT_EQ(recorded.size(), 9u);
  EXPECT_EQ(recorded[6], "Developer ID Application: E (T)");
  EXPECT_EQ(recorded[8], (tools.root() / "My App.app").string());
}

TEST(CodeSignerRuns, DeepVerificationOutcomes) {
  ScriptedToolRoot tools;
  tools.addTool("/usr/bin/codesign", "echo 'anything at all' >&2; exit 0");
  EXPECT_EQ(CodeSigner::deepVerify("/x/X.app", 30), DeepVerificationResult::passed());

  tools.addTool("/usr/bin/codesign",
                "echo 'X.app: a sealed resource is missing or invalid' >&2; exit 1");
  EXPECT_EQ(CodeSigner::deepVerify("/x/X.app", 30),
            DeepVerificationResult::failed("X.app: a sealed resource is missing or invalid"));

  // The tool root has no codesign at all: a failure, not a time-out.
  std::filesystem::remove(tools.root() / "usr/bin/codesign");
  EXPECT_EQ(CodeSigner::deepVerify("/x/X.app", 30).kind(), DeepVerificationResult::Kind::failed);
}

TEST(CodeSignerRuns, DeepVerificationStoppedByItsLimitIsTimedOut) {
  ScriptedToolRoot tools;
  tools.addTool("/usr/bin/codesign", "exec sleep 30");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CodeSigner::deepVerify("/x/X.app", 0.5), DeepVerificationResult::timedOut());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(CodeSignerRuns, SigningFailuresPassThroughUnchanged) {
  ScriptedToolRoot tools;
  tools.addTool("/usr/bin/codesign", "echo 'X.app: no identity found' >&2; exit 1");
  try {
    CodeSigner::signApp("/x/X.app", "nobody", false, 30);
    FAIL() << "signing should have failed";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.description(), "X.app: no identity found");
  }

  tools.addTool("/usr/bin/codesign", "exec sleep 30");
  try {
    CodeSigner::signApp("/x/X.app", "nobody", false, 0.5);
    FAIL() << "signing should have timed out";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), CoreCommandError::timeoutCode);
    EXPECT_EQ(error.description(), "The signing step took too long and was stopped.");
  }
}

TEST(CodeSignerRuns, DiskImageOperationsReturnTheToolsOutput) {
  ScriptedToolRoot tools;
  tools.addTool("/usr/bin/codesign", "echo ' X.dmg: valid on disk ' >&2; exit 0");
  EXPECT_EQ(CodeSigner::verifyDiskImage("/o/X.dmg"), "X.dmg: valid on disk");
  tools.addTool("/usr/bin/codesign", "echo 'X.dmg: signed' ; exit 0");
  EXPECT_EQ(CodeSigner::signDiskImage("/o/X.dmg", "Developer ID Application: E (T)"),
            "X.dmg: signed");
}
