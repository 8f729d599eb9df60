#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/Notarization/ArtifactNotarizationCoordinator.hpp"
#include "core/Notarization/ArtifactNotarizationCoordinatorError.hpp"
#include "core/Signing/ScriptedToolRoot.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using Case = ArtifactNotarizationCoordinatorError::Case;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string read(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  std::stringstream content;
  content << stream.rdbuf();
  return content.str();
}

// Tools that behave like the real ones on the happy path and log every command line, one line
// per run ("codesign --verify --verbose=2 /x/A.dmg"), to the root's "calls" file. The temporary
// folder is redirected into the test's own folder.
class CoordinatorTest : public ::testing::Test {
protected:
  void SetUp() override {
    previousTemporary_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    ::setenv("TMPDIR", (work_.path() / "tmp").c_str(), 1);
    fs::create_directories(work_.path() / "tmp");
    tool("/usr/bin/codesign", "echo \"$(basename \"$last\"): valid on disk\" >&2");
    tool("/usr/bin/xcrun",
         "case \"$1\" in\n"
         "notarytool) echo 'Processing complete'; echo '  status: Accepted';;\n"
         "stapler) [ \"$2\" = staple ] && echo 'The staple and validate action worked!' ||"
         " echo 'The validate action worked!';;\n"
         "esac");
    tool("/usr/sbin/spctl",
         "echo \"$last: accepted\" >&2; echo 'source=Notarized Developer ID' >&2");
    tool("/usr/sbin/pkgutil", "echo \"Package \\\"$(basename \"$last\")\\\":\"; echo '   Status: "
                              "signed by a developer certificate issued by Apple'");
    tool("/usr/bin/productsign", "cp \"$3\" \"$4\" && echo signed >> \"$4\"");
    tool("/usr/bin/shasum", "echo \"0123abcd  $last\"");
    HalyardCoreLog::debug = [this](const std::string& line) { trace_.push_back(line); };
  }
  void TearDown() override {
    HalyardCoreLog::debug = nullptr;
    ::setenv("TMPDIR", previousTemporary_.c_str(), 1);
  }

  // A tool that logs its command line and then runs `body`.
  void tool(const std::string& path, const std::string& body) {
    tools_.addTool(path, "for last; do :; done\necho \"$(basename \"$0\") $*\" >> '" +
                             (tools_.root() / "calls").string() + "'\n" + body);
  }
  std::vector<std::string> calls() const { return tools_.recordedLines("calls"); }

  fs::path file(const std::string& name, const std::string& content = "original") const {
    const auto path = work_.path() / name;
    std::ofstream(path) << content;
    return path;
  }
  fs::path signingFolder() const { return work_.path() / "tmp" / "Halyard_ArtifactSigning"; }

  ArtifactNotarizationResult run(const fs::path& artifact, std::optional<std::string> identity,
                                 ArtifactKind kind, const std::string& profile = "notary") {
    ArtifactNotarizationCoordinator coordinator;
    return coordinator.run(ArtifactNotarizationConfig(artifact, identity, profile, kind),
                           [this](const std::string& line) { progress_.push_back(line); });
  }

  ArtifactNotarizationCoordinatorError
  failure(const fs::path& artifact, std::optional<std::string> identity, ArtifactKind kind) {
    try {
      run(artifact, identity, kind);
    } catch (const ArtifactNotarizationCoordinatorError& error) {
      return error;
    }
    ADD_FAILURE() << "the run did not fail";
    return ArtifactNotarizationCoordinatorError(Case::missingArtifact);
  }

  bool traced(const std::string& line) const {
    return std::find(trace_.begin(), trace_.end(), "[ArtifactNotarization] " + line) !=
           trace_.end();
  }

  TemporaryFolder work_{"CoordinatorTest_"};
  testing::ScriptedToolRoot tools_;
  std::vector<std::string> progress_;
  std::vector<std::string> trace_;
  std::string previousTemporary_;
};

TEST_F(CoordinatorTest, NothingRunsForAMissingFileOrEmptyCredentials) {
  auto error = failure(work_.path() / "gone.dmg", std::nullopt, ArtifactKind::dmg);
  EXPECT_EQ(error.errorCase(), Case::missingArtifact);

  const auto dmg = file("A.dmg");
  try {
    run(dmg, std::nullopt, ArtifactKind::dmg, " \n ");
    ADD_FAILURE() << "empty credentials were accepted";
  } catch (const ArtifactNotarizationCoordinatorError& caught) {
    EXPECT_EQ(caught.description(), "Notarization failed: The notarization credentials are empty.");
  }
  EXPECT_TRUE(calls().empty());
  EXPECT_TRUE(traced("notary credentials: keychain profile \"\""));
}

TEST_F(CoordinatorTest, DMGWithoutIdentityStartsAtTheSignatureCheck) {
  const auto dmg = file("My App.dmg");
  for (const std::optional<std::string>& identity : {std::optional<std::string>(), {""}, {" \t"}}) {
    fs::remove(tools_.root() / "calls");
    progress_.clear();
    const auto result = run(dmg, identity, ArtifactKind::dmg);
    EXPECT_THAT(progress_,
                ElementsAre("Verifying DMG signature…", "Submitting DMG for notarization…",
                            "Stapling DMG…", "Validating stapled DMG…"));
    const std::string path = dmg.string();
    EXPECT_THAT(calls(),
                ElementsAre("codesign --verify --verbose=2 " + path,
                            "xcrun notarytool submit " + path + " --keychain-profile notary --wait",
                            "xcrun stapler staple " + path, "xcrun stapler validate " + path,
                            "spctl -a -t open -vvv --context context:primary-signature " + path));
    EXPECT_EQ(result.finalArtifactURL, dmg);
    EXPECT_EQ(result.signingOutput, "My App.dmg: valid on disk");
    EXPECT_EQ(result.notarizationOutput, "Processing complete\n  status: Accepted");
    EXPECT_EQ(result.validationOutput, "The validate action worked!\n\n" + path +
                                           ": accepted\nsource=Notarized Developer ID");
  }
}

TEST_F(CoordinatorTest, DMGIsSignedInPlaceAndBothOutputsAreKept) {
  tool("/usr/bin/codesign", "[ \"$1\" = --force ] && echo 'A.dmg: replacing existing signature' >&2"
                            " || echo 'A.dmg: valid on disk' >&2");
  const auto dmg = file("A.dmg");
  const auto result =
      run(dmg, " Developer ID Application: Example Corp (A1B2C3D4E5) ", ArtifactKind::dmg);
  EXPECT_EQ(calls().front(),
            "codesign --force --sign Developer ID Application: Example Corp (A1B2C3D4E5) " +
                dmg.string());
  EXPECT_EQ(progress_.front(), "Signing DMG…");
  EXPECT_EQ(result.signingOutput, "A.dmg: replacing existing signature\n\nA.dmg: valid on disk");
}

TEST_F(CoordinatorTest, PKGIsSignedIntoATemporaryCopyThatReplacesTheOriginalAtTheEnd) {
  const auto pkg = file("A.pkg");
  const auto result = run(pkg, "Example Corp (A1B2C3D4E5)", ArtifactKind::pkg);

  const auto lines = calls();
  ASSERT_FALSE(lines.empty());
  const std::string signing = lines[1]; // after the digest of the original
  EXPECT_THAT(signing, ::testing::StartsWith("productsign --sign Developer ID Installer: Example "
                                             "Corp (A1B2C3D4E5) " +
                                             pkg.string() + " " + signingFolder().string() + "/"));
  EXPECT_THAT(signing, ::testing::EndsWith("-A.pkg"));
  // Submission, stapling and validation work on the signed copy, never on the original.
  for (const auto& line : lines) {
    if (line.rfind("xcrun", 0) == 0) {
      EXPECT_THAT(line, HasSubstr(signingFolder().string()));
    }
  }
  EXPECT_EQ(read(pkg), "originalsigned\n");
  EXPECT_TRUE(fs::is_directory(signingFolder()));
  EXPECT_TRUE(fs::is_empty(signingFolder()));
  // Nothing is left beside the original: only it and the temporary folder remain.
  EXPECT_EQ(std::distance(fs::directory_iterator(work_.path()), {}), 2);
  EXPECT_THAT(progress_, ElementsAre("Signing PKG…", "Checking PKG signature…",
                                     "Submitting PKG for notarization…", "Stapling PKG…",
                                     "Validating stapled PKG…"));
  EXPECT_EQ(result.finalArtifactURL, pkg);
  EXPECT_TRUE(traced("normalized installer identity: Developer ID Installer: Example Corp "
                     "(A1B2C3D4E5)"));
  EXPECT_TRUE(traced("original PKG sha256: 0123abcd"));
  EXPECT_TRUE(traced("original PKG replaced successfully"));
}

TEST_F(CoordinatorTest, PKGWithoutIdentityKeepsItsSignatureAndIsWorkedOnInPlace) {
  const auto pkg = file("A.pkg");
  const auto result = run(pkg, "  ", ArtifactKind::pkg);
  EXPECT_EQ(progress_.front(), "Checking existing PKG signature…");
  for (const auto& line : calls())
    EXPECT_THAT(line, ::testing::Not(HasSubstr("productsign")));
  EXPECT_EQ(result.signingOutput,
            "PKG signing skipped. No Developer ID Installer identity was provided.\n\n"
            "Package \"A.pkg\":\n   Status: signed by a developer certificate issued by Apple");
  EXPECT_TRUE(traced("workingURL != originalURL: false"));
}

TEST_F(CoordinatorTest, APKGThatFailsBeforeReplacementLeavesTheOriginalUntouched) {
  tool("/usr/bin/xcrun", "[ \"$1\" = notarytool ] && { echo '  status: Invalid'; exit 0; }\n"
                         "echo 'The validate action worked!'");
  const auto pkg = file("A.pkg");
  const auto error = failure(pkg, "Example Corp (A1B2C3D4E5)", ArtifactKind::pkg);
  EXPECT_EQ(error.description(), "Notarization failed: status: Invalid");
  EXPECT_EQ(read(pkg), "original");
  EXPECT_TRUE(fs::is_empty(signingFolder()));
  for (const auto& line : calls())
    EXPECT_THAT(line, ::testing::Not(HasSubstr("stapler"))) << "stapled after a rejection";
  EXPECT_TRUE(std::any_of(trace_.begin(), trace_.end(), [](const std::string& line) {
    return line.rfind("[ArtifactNotarization] Cleaning up temporary signed PKG at: ", 0) == 0;
  }));
}

TEST_F(CoordinatorTest, ProductsignThatLeavesNoFileIsASigningFailure) {
  tool("/usr/bin/productsign", "exit 0");
  const auto pkg = file("A.pkg");
  const auto error = failure(pkg, "Example Corp (A1B2C3D4E5)", ArtifactKind::pkg);
  EXPECT_EQ(error.errorCase(), Case::signingFailed);
  EXPECT_THAT(error.text(), ::testing::StartsWith("productsign reported success, but the signed "
                                                  "PKG was not created at: " +
                                                  signingFolder().string()));
}

TEST_F(CoordinatorTest, DiscardingDuringTheWaitRemovesTheSignedCopy) {
  tool("/usr/bin/xcrun", "[ \"$1\" = notarytool ] && sleep 2; echo ok");
  const auto pkg = file("A.pkg");
  ArtifactNotarizationCoordinator coordinator;
  std::thread waiter([&] {
    for (int i = 0; i < 200 && (!fs::exists(signingFolder()) || fs::is_empty(signingFolder())); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    coordinator.discardTemporaryFiles();
  });
  try {
    coordinator.run(ArtifactNotarizationConfig(pkg, "Example Corp", "notary", ArtifactKind::pkg),
                    nullptr);
  } catch (const ArtifactNotarizationCoordinatorError&) {
    // Stapling the discarded copy fails; what matters is what is left behind.
  }
  waiter.join();
  EXPECT_TRUE(fs::is_empty(signingFolder()));
  EXPECT_EQ(read(pkg), "original");
}

} // namespace
} // namespace halyard
