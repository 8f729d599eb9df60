#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "core/Notarization/ArtifactNotarizationCoordinator.hpp"
#include "core/Notarization/ArtifactNotarizationCoordinatorError.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "support/ScriptedToolRoot.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using Case = ArtifactNotarizationCoordinatorError::Case;
using ::testing::ElementsAre;

// Tools that log their command lines ("codesign --verify --verbose=2 /x/A.dmg") to "calls" and
// answer as on the happy path. The temporary folder is the test's own.
class CoordinatorTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (const char* previous = std::getenv("TMPDIR")) previousTemporary_ = previous;
    ::setenv("TMPDIR", work_.path().c_str(), 1);
    for (const char* path :
         {"/usr/bin/codesign", "/usr/sbin/spctl", "/usr/sbin/pkgutil", "/usr/bin/shasum"})
      tool(path, "echo done");
    // notarytool answers in JSON: the upload with the submission's id, the query with a verdict.
    tool("/usr/bin/xcrun", "case \"$2\" in submit) echo '{\"id\":\"7d1b\"}' ;; "
                           "info) echo '{\"id\":\"7d1b\",\"status\":\"Accepted\"}' ;; "
                           "*) echo done ;; esac");
    ::setenv("BOSUN_TEST_NOTARY_POLL", "0.01", 1);
    tool("/usr/bin/productsign", "cp \"$3\" \"$4\"");
  }
  void TearDown() override {
    ::unsetenv("BOSUN_TEST_NOTARY_POLL");
    if (previousTemporary_)
      ::setenv("TMPDIR", previousTemporary_->c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }

  void tool(const std::string& path, const std::string& body) {
    tools_.addTool(path, "echo \"$(basename \"$0\") $*\" >> '" +
                             (tools_.root() / "calls").string() + "'\n" + body);
  }
  std::vector<std::string> calls() const { return tools_.recordedLines("calls"); }
  fs::path signingFolder() const { return work_.path() / "Halyard_ArtifactSigning"; }
  fs::path file(const std::string& name) const {
    std::ofstream(work_.path() / name) << "original";
    return work_.path() / name;
  }

  ArtifactNotarizationCoordinatorError failure(const ArtifactNotarizationConfig& config) {
    try {
      ArtifactNotarizationCoordinator().run(config, nullptr);
    } catch (const ArtifactNotarizationCoordinatorError& error) {
      return error;
    }
    ADD_FAILURE() << "the run did not fail";
    return ArtifactNotarizationCoordinatorError(Case::missingArtifact);
  }

  TemporaryFolder work_{"CoordinatorTest_"};
  testing::ScriptedToolRoot tools_;
  std::optional<std::string> previousTemporary_;
};

TEST_F(CoordinatorTest, NothingRunsForAMissingFileOrEmptyCredentials) {
  EXPECT_EQ(
      failure({work_.path() / "gone.dmg", std::nullopt, "notary", ArtifactKind::dmg}).errorCase(),
      Case::missingArtifact);
  EXPECT_EQ(failure({file("A.dmg"), std::nullopt, " \n ", ArtifactKind::dmg}).description(),
            "Notarization failed: The notarization credentials are empty.");
  EXPECT_TRUE(calls().empty());
}

TEST_F(CoordinatorTest, DMGWithoutIdentityStartsAtTheSignatureCheck) {
  const auto dmg = file("My App.dmg");
  for (const auto& identity : {std::optional<std::string>(), std::optional<std::string>(" \t")}) {
    fs::remove(tools_.root() / "calls");
    std::vector<std::string> progress;
    ArtifactNotarizationCoordinator().run(
        {dmg, identity, "notary", ArtifactKind::dmg},
        [&](const std::string& line) { progress.push_back(line); });
    // The tools work on a copy in a private folder beside the file, renamed over it at the end.
    ASSERT_FALSE(calls().empty());
    const std::string check = calls().front();
    const std::string path = check.substr(std::string("codesign --verify --verbose=2 ").size());
    EXPECT_EQ(fs::path(path).parent_path().parent_path(), dmg.parent_path()) << path;
    EXPECT_THAT(fs::path(path).parent_path().filename().string(),
                ::testing::StartsWith(".bosun-notarize-"));
    EXPECT_FALSE(fs::exists(fs::path(path).parent_path()));
    EXPECT_THAT(progress,
                ElementsAre("Verifying DMG signature…", "Submitting DMG for notarization…",
                            "Stapling DMG…", "Validating stapled DMG…"));
    EXPECT_THAT(
        calls(),
        ElementsAre("codesign --verify --verbose=2 " + path,
                    "xcrun notarytool submit " + path +
                        " --keychain-profile notary --output-format json",
                    "xcrun notarytool info 7d1b --keychain-profile notary --output-format json",
                    "xcrun stapler staple " + path, "xcrun stapler validate " + path,
                    "spctl --assess -vvv --type open --context context:primary-signature " + path));
  }
}

TEST_F(CoordinatorTest, ProductsignThatLeavesNoFileIsASigningFailure) {
  tool("/usr/bin/productsign", "exit 0");
  const auto error = failure({file("A.pkg"), "Example Corp", "notary", ArtifactKind::pkg});
  EXPECT_EQ(error.errorCase(), Case::signingFailed);
  EXPECT_THAT(error.text(), ::testing::StartsWith("productsign reported success, but the signed "
                                                  "PKG was not created at: " +
                                                  signingFolder().string() + "/"));
  // Nobody reads the trace here, so the tools it alone needs never ran.
  EXPECT_THAT(calls(), ::testing::Not(::testing::Contains(::testing::StartsWith("shasum"))));
}

TEST_F(CoordinatorTest, TheCleanUpDuringTheWaitRemovesTheSignedCopy) {
  tool("/usr/bin/xcrun", "[ \"$1\" = notarytool ] && sleep 2; echo done");
  const auto pkg = file("A.pkg");
  ArtifactNotarizationCoordinator coordinator;
  bool removedWhileWaiting = false;
  std::thread canceller([&] {
    for (int i = 0; i < 300 && (!fs::exists(signingFolder()) || fs::is_empty(signingFolder())); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // The signal handler ends the process right after this: the run does not unwind.
    CleanupRegistry::shared().undoAll();
    removedWhileWaiting = fs::is_empty(signingFolder());
  });
  // Validating the removed copy fails; what matters is what is left behind.
  EXPECT_THROW(coordinator.run({pkg, "Example Corp", "notary", ArtifactKind::pkg}, nullptr),
               ArtifactNotarizationCoordinatorError);
  canceller.join();
  EXPECT_TRUE(removedWhileWaiting);
  EXPECT_EQ(fs::file_size(pkg), std::string("original").size());
}

} // namespace
} // namespace halyard
