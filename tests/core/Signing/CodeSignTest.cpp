#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <fstream>
#include <functional>

#include "core/Process/CoreCommand.hpp"
#include "core/Signing/CodeSign.hpp"
#include "support/StandInRoot.hpp"

using namespace halyard;
using bosun::testing::StandInRoot;
using ::testing::StartsWith;
using Strings = std::vector<std::string>;

namespace {

// A ToolRun that answers `answer` and keeps the command line it was given.
struct Recorder {
  Strings commandLine;
  ToolProcessResult answer;
  ToolRun run() {
    return [this](const char* executable, const Strings& arguments) {
      commandLine = {executable};
      commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
      return answer;
    };
  }
};

} // namespace

TEST(CodeSignCommandLines, EachRequestHasItsOwnSpelling) {
  using S = CodeSign::Signature;
  using C = CodeSign::Check;
  const std::string id = "Developer ID Application: Example Corp (A1B2C3D4E5)";
  const std::string keep = "--preserve-metadata=identifier,entitlements,flags";
  const std::string path = "/tmp/Work/My App.app";
  const struct {
    std::function<void(const ToolRun&)> call;
    Strings arguments; // after /usr/bin/codesign
  } rows[] = {
      {[&](auto& run) { CodeSign::sign(S::plain, id, path, run); },
       {"--force", "--sign", id, path}},
      {[&](auto& run) { CodeSign::sign(S::app, id, path, run); },
       {"--force", "--options", "runtime", "--timestamp", keep, "--sign", id, path}},
      {[&](auto& run) { CodeSign::sign(S::appDeep, id, path, run); },
       {"--force", "--options", "runtime", "--timestamp", keep, "--sign", id, "--deep", path}},
      {[&](auto& run) { CodeSign::sign(S::preparation, id, path, run); },
       {"--force", "--sign", id, "--timestamp", "--options", "runtime", keep, path}},
      {[&](auto& run) { CodeSign::sign(S::preparationWithoutRuntime, id, path, run); },
       {"--force", "--sign", id, "--timestamp", keep, path}},
      {[&](auto& run) { CodeSign::verify(C::plain, path, run); },
       {"--verify", "--verbose=2", path}},
      {[&](auto& run) { CodeSign::verify(C::strict, path, run); },
       {"--verify", "--strict", "--verbose=2", path}},
      {[&](auto& run) { CodeSign::verify(C::deep, path, run); },
       {"--verify", "--deep", "--strict", path}},
      {[&](auto& run) { CodeSign::verify(C::deepVerbose, path, run); },
       {"--verify", "--deep", "--strict", "--verbose=4", path}},
      {[&](auto& run) { CodeSign::verifyRequirement("anchor apple generic", path, run); },
       {"--verify", "--strict", "-R", "anchor apple generic", path}},
      {[&](auto& run) { CodeSign::details(path, run); }, {"-dv", "--verbose=4", path}},
      {[&](auto& run) { CodeSign::details(path, run, {.verbosity = 2}); },
       {"-dv", "--verbose=2", path}},
      {[&](auto& run) { CodeSign::details(path, run, {.verbosity = 2, .abbreviated = true}); },
       {"-dvv", path}},
      {[&](auto& run) { CodeSign::entitlements(path, run); },
       {"-d", "--entitlements", "-", "--xml", path}},
  };
  for (const auto& row : rows) {
    Recorder recorder;
    row.call(recorder.run());
    Strings expected{"/usr/bin/codesign"};
    expected.insert(expected.end(), row.arguments.begin(), row.arguments.end());
    EXPECT_EQ(recorder.commandLine, expected);
  }
}

TEST(CodeSignDetails, ReadsTheLinesOfEverySignatureKind) {
  const auto developerID = CodeSignDetails::from(
      {0, "",
       "Executable=/V/AdHoc Notes.app/Contents/MacOS/AdHoc Notes\n"
       "Identifier=com.example.adhoc-notes\n"
       "CodeDirectory v=20500 size=512 flags=0x10000(runtime) hashes=9+7 location=embedded\n"
       "Signature size=9000\n"
       "Authority=Developer ID Application: Example Corp (A1B2C3D4E5)\n"
       "Authority=Developer ID Certification Authority\n"
       "Authority=Apple Root CA\n"
       "Timestamp=6 Dec 2026 at 10:15:02\n"
       "TeamIdentifier=A1B2C3D4E5\n"});
  EXPECT_EQ(developerID.identifier, "com.example.adhoc-notes");
  EXPECT_EQ(developerID.authorities,
            (Strings{"Developer ID Application: Example Corp (A1B2C3D4E5)",
                     "Developer ID Certification Authority", "Apple Root CA"}));
  EXPECT_TRUE(developerID.developerIDApplication());
  EXPECT_EQ(developerID.timestamp, "6 Dec 2026 at 10:15:02");
  EXPECT_EQ(developerID.teamIdentifier, "A1B2C3D4E5");
  EXPECT_TRUE(developerID.hardenedRuntime());
  // "adhoc" in a name is not an ad hoc signature.
  EXPECT_FALSE(developerID.adHoc);
  EXPECT_FALSE(developerID.notSigned);

  const auto adHoc =
      CodeSignDetails::from({0, "Identifier=\nSignature=adhoc\nTeamIdentifier=not set\n", ""});
  EXPECT_TRUE(adHoc.adHoc);
  EXPECT_EQ(adHoc.signer(), std::nullopt);
  EXPECT_EQ(adHoc.identifier, std::nullopt);
  EXPECT_EQ(adHoc.teamIdentifier, std::nullopt);

  const auto development =
      CodeSignDetails::from({0, "Authority=Apple Development: dev@example.com (F6G7H8J9K0)", ""});
  EXPECT_EQ(development.signer(), "Apple Development: dev@example.com (F6G7H8J9K0)");
  EXPECT_FALSE(development.developerIDApplication());

  EXPECT_TRUE(CodeSignDetails::from({1, "", "X.app: code object is NOT SIGNED at all"}).notSigned);
}

// The CodeDirectory line as macOS prints it: the hex value, then every flag set by name.
TEST(CodeSignDetails, FlagsInEveryShape) {
  const struct {
    const char* flags;
    bool runtime, adHoc;
  } rows[] = {
      {"flags=0x10000(runtime)", true, false},
      {"flags=0x10002(adhoc,runtime)", true, true},
      {"flags=0x12a00(kill,restrict,library-validation,runtime)", true, false},
      {"flags=0x30000(runtime,linker-signed)", true, false},
      {"flags=0x10000", true, false}, // the value alone
      {"flags=0x2", false, true},
      {"flags=0x2000(library-validation)", false, false},
      {"flags=0x20002(adhoc,linker-signed)", false, true},
      {"flags=0x0(none)", false, false},
      {"flags=0xzz(runtime)", false, false},
  };
  for (const auto& row : rows) {
    const auto details = CodeSignDetails::from(
        {0, "",
         std::string("Identifier=x\nCodeDirectory v=20500 size=512 ") + row.flags +
             " hashes=9+7 location=embedded\nTeamIdentifier=A1B2C3D4E5\n"});
    EXPECT_EQ(details.hardenedRuntime(), row.runtime) << row.flags;
    EXPECT_EQ(details.adHoc, row.adHoc) << row.flags;
  }
  // A runtime word elsewhere in the output is not the flag list.
  EXPECT_FALSE(CodeSignDetails::from(
                   {0, "", "Identifier=com.example.runtime\nExecutable=/V/(runtime).app\n"})
                   .hardenedRuntime());
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

// The runs against the stand-in codesign, with one Developer ID Application identity.
class CodeSignRuns : public ::testing::Test {
protected:
  void SetUp() override { stand.addIdentity(StandInRoot::application); }
  bosun::testing::StandInRootInForce stand;
};

} // namespace

TEST_F(CodeSignRuns, SignsAPathWithSpacesAndReportsVerificationOutcomes) {
  const auto app = stand.makeApp("My App");
  CodeSign::signApp(app, StandInRoot::application, true, 30);
  EXPECT_EQ(CodeSign::deepVerify(app, 30), DeepVerificationResult::passed());
  const auto details = CodeSign::details(app, {AppleTools::Runner::shared, 30});
  EXPECT_TRUE(details.developerIDApplication());
  EXPECT_EQ(details.teamIdentifier, "A1B2C3D4E5");
  EXPECT_TRUE(details.hardenedRuntime() && details.timestamp && !details.adHoc);

  std::ofstream(app / "Contents/Resources/readme.txt") << "changed after signing";
  const auto tampered = CodeSign::deepVerify(app, 30);
  EXPECT_EQ(tampered.kind(), DeepVerificationResult::Kind::failed);
  EXPECT_THAT(tampered.failureText(),
              StartsWith(app.string() + ": a sealed resource is missing or invalid"));

  // The tool root has no codesign at all: a failure, not a time-out.
  std::filesystem::remove(stand.root() / "usr/bin/codesign");
  EXPECT_EQ(CodeSign::deepVerify(app, 30).kind(), DeepVerificationResult::Kind::failed);
}

TEST_F(CodeSignRuns, StoppedByTheLimitIsATimeOut) {
  stand.set("MACSIM_CODESIGN_DELAY", "30");
  EXPECT_EQ(CodeSign::deepVerify("/x/X.app", 0.5), DeepVerificationResult::timedOut());
  try {
    CodeSign::signApp("/x/X.app", "nobody", false, 0.5);
    FAIL() << "signing should have timed out";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), CoreCommandError::timeoutCode);
    EXPECT_EQ(error.description(), "The signing step took too long and was stopped.");
  }
}

TEST_F(CodeSignRuns, FailuresPassThroughAndDiskImageOperationsReturnTheToolsOutput) {
  try {
    CodeSign::signApp(stand.makeApp("X"), "nobody", false, 30);
    FAIL() << "signing should have failed";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.description(), "nobody: no identity found");
  }

  const auto image = stand.work() / "X.dmg";
  std::ofstream(image) << "image";
  EXPECT_EQ(CodeSign::signDiskImage(image, StandInRoot::application), "");
  EXPECT_EQ(CodeSign::verifyDiskImage(image), image.string() + ": valid on disk\n" +
                                                  image.string() +
                                                  ": satisfies its Designated Requirement");
}
