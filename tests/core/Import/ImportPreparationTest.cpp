#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/Import/BundlePreparationPlan.hpp"
#include "core/Import/ImportPreparationManager.hpp"
#include "core/Import/ImportStandIns.hpp"

namespace fs = std::filesystem;
using namespace halyard;
using Paths = std::vector<fs::path>;
using Strings = std::vector<std::string>;

class ImportPreparationTest : public halyard::testing::ImportStandIns {
protected:
  // codesign writes its arguments (joined by "|") to a log, then runs the stand-in.
  void recordCodesign() {
    scriptCodesign("line=''; for a; do line=\"$line|$a\"; done\n"
                   "printf '%s\\n' \"${line#|}\" >> '" +
                   log().string() + "'\nexec \"$real\" \"$@\"");
  }
  fs::path log() const { return standIns.home() / "codesign.log"; }
  Strings logged() const {
    Strings lines;
    std::ifstream stream(log());
    for (std::string line; std::getline(stream, line);)
      lines.push_back(line);
    return lines;
  }
  // The signing calls as "PATH" or "PATH (no runtime)", relative to `base`.
  Strings signedItems(const fs::path& base) const {
    Strings items;
    for (const auto& line : logged()) {
      if (line.rfind("--force|", 0) != 0) continue;
      const auto path = fs::path(line.substr(line.rfind('|') + 1)).lexically_relative(base);
      items.push_back(path.string() +
                      (line.find("|runtime|") == std::string::npos ? " (no runtime)" : ""));
    }
    return items;
  }
  fs::path preparedImports() const { return temporary() / "Halyard_Prepared_Imports"; }
  size_t workingCopies() const {
    if (!fs::exists(preparedImports())) return 0;
    return static_cast<size_t>(std::distance(fs::directory_iterator(preparedImports()), {}));
  }
};

TEST_F(ImportPreparationTest, ElectronLikeAppIsSignedInsideOutInAPrivateCopy) {
  const auto app = electronApp("Beacon");
  signAdHoc(app);
  recordCodesign();
  // One job: exactly the order of a one-by-one signing.
  ImportPreparationEngine oneByOne;
  oneByOne.signingJobs = 1;
  const auto result = oneByOne.prepare(app, std::string(" ") + developerID + "\n");
  ASSERT_TRUE(result.workingCopyFolder);
  EXPECT_EQ(result.workingCopyFolder->parent_path(), preparedImports());
  EXPECT_EQ(result.preparedAppURL, *result.workingCopyFolder / "Beacon.app");
  EXPECT_EQ(fs::status(*result.workingCopyFolder).permissions() & fs::perms::all,
            fs::perms::owner_all);
  const auto frameworks = fs::path("Beacon.app/Contents/Frameworks");
  const auto electron = frameworks / "Electron Framework.framework";
  EXPECT_EQ(signedItems(*result.workingCopyFolder),
            (Strings{(frameworks / "libnode_shim.dylib").string(),
                     (frameworks / "native/keytar.node").string(),
                     (electron / "Versions/A/Libraries/libffmpeg.dylib").string(),
                     (electron / "Versions/A/Helpers/chrome_crashpad_handler").string(),
                     electron.string(), (frameworks / "Beacon Helper.app").string(),
                     (frameworks / "Beacon Helper (GPU).app").string(),
                     (frameworks / "Beacon Helper (Renderer).app").string(),
                     "Beacon.app/Contents/MacOS/Beacon", "Beacon.app"}));
  EXPECT_EQ(
      result.performedSteps,
      (Strings{"Created working copy", "Removed quarantine attributes",
               "Scanned nested signable content", "Repaired executable permissions",
               "Signed embedded code", "Signed main app bundle", "Verified signed app bundle"}));
  EXPECT_TRUE(result.verifiedSuccessfully);
  EXPECT_FALSE(result.usedVerifyOnlyMode);

  // A second run does not disturb the first.
  const auto again = ImportPreparationEngine().prepare(app, developerID);
  EXPECT_NE(again.workingCopyFolder, result.workingCopyFolder);
  EXPECT_TRUE(fs::exists(result.preparedAppURL / "Contents/MacOS/Beacon"));
  EXPECT_EQ(workingCopies(), 2u);

  ImportPreparationEngine inWorkspace;
  inWorkspace.workingCopyParent = work() / "workspace";
  EXPECT_EQ(inWorkspace.prepare(app, developerID).workingCopyFolder->parent_path(),
            work() / "workspace");
}

TEST_F(ImportPreparationTest, RetryWithoutRuntimeOnlyForBundlesAndLibraries) {
  const auto app = this->app("Retry");
  machO(app / "Contents/Frameworks/libz.dylib", "dylib");
  machO(app / "Contents/Helpers/tool");
  recordCodesign();
  ::setenv("MACSIM_CODESIGN_WHEN", "runtime", 1);
  ::setenv("MACSIM_CODESIGN_FAIL", "1", 1);
  ::setenv("MACSIM_CODESIGN_STDERR", "runtime refused", 1);
  std::string message;
  try {
    ImportPreparationEngine oneByOne;
    oneByOne.signingJobs = 1;
    oneByOne.prepare(app, developerID);
  } catch (const ImportPreparationEngineError& error) {
    EXPECT_EQ(error.errorCase(), ImportPreparationEngineError::Case::signingFailed);
    message = error.what();
  }
  ::unsetenv("MACSIM_CODESIGN_WHEN");
  ::unsetenv("MACSIM_CODESIGN_FAIL");
  ::unsetenv("MACSIM_CODESIGN_STDERR");
  // The copy is gone with the failure, so the paths are read from the log as they were.
  const auto lines = logged();
  ASSERT_EQ(lines.size(), 3u);
  const auto copy = fs::path(lines[0].substr(lines[0].rfind('|') + 1));
  const auto working = copy.parent_path().parent_path().parent_path();
  EXPECT_EQ(signedItems(working.parent_path()),
            (Strings{"Retry.app/Contents/Frameworks/libz.dylib",
                     "Retry.app/Contents/Frameworks/libz.dylib (no runtime)",
                     "Retry.app/Contents/Helpers/tool"}));
  EXPECT_EQ(message, "Failed to sign embedded item at " +
                         (working / "Contents/Helpers/tool").string() + ": runtime refused");
  EXPECT_EQ(workingCopies(), 0u);

  for (const auto& [path, allowed] : std::vector<std::pair<const char*, bool>>{
           {"/a/X.app/Contents/PlugIns/Q.APPEX", true},
           {"/a/X.app/Contents/Frameworks/base_library.frozen", true},
           {"/a/X.app/Contents/MacOS/X", false}})
    EXPECT_EQ(ImportPreparationEngine::allowsRetryWithoutRuntime(path), allowed) << path;
}

TEST_F(ImportPreparationTest, LinksInsideTheBundleNeverReachOutside) {
  const auto app = this->app("Hostile");
  const auto outside = work() / "victim";
  std::ofstream(outside) << "plain data";
  ::chmod(outside.c_str(), 0644);
  fs::create_directories(app / "Contents/Frameworks");
  fs::create_symlink(outside, app / "Contents/Frameworks/libvictim.dylib");
  fs::create_symlink(outside, app / "Contents/Helpers");
  fs::create_symlink(outside, app / "Contents/MacOS/victim");
  fs::create_directory_symlink(work(), app / "Contents/Frameworks/Elsewhere.framework");
  EXPECT_EQ(ImportPreparationEngine::collectNestedSignableItems(app),
            Paths{app / "Contents/MacOS/Hostile"});
  EXPECT_EQ(CodeSignScanner::countNestedCode(app).detectedPaths,
            Paths{app / "Contents/MacOS/Hostile"});
  // The stand-in codesign refuses a bundle whose link leads outside it, as codesign does.
  EXPECT_THROW(ImportPreparationEngine().prepare(app, developerID), ImportPreparationEngineError);
  struct stat info {};
  ASSERT_EQ(::stat(outside.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(standIns.tool("/usr/bin/codesign", {"-dv", outside.string()}).status, 1);
  EXPECT_EQ(workingCopies(), 0u);
}

TEST_F(ImportPreparationTest, ManagerDoesWhatTheScanAsks) {
  // Developer ID, simple: nothing to do, no copy.
  const auto plain = app("Plain");
  signDeveloperID(plain);
  auto report = ImportPreparationManager::shared().prepareImportedAppIfNeeded(plain, std::nullopt,
                                                                              std::nullopt);
  EXPECT_EQ(report.appURL, plain);
  EXPECT_EQ(report.requirement, PreparationRequirement::none);
  EXPECT_EQ(report.performedSteps,
            (Strings{"Scanned app bundle",
                     "Simple native app structure detected. No preparation is required before "
                     "continuing.",
                     "No preparation required"}));
  EXPECT_TRUE(report.isReadyForNextStep);

  // Developer ID with nested runtime code: verified in place.
  const auto viewer = app("Viewer");
  framework(viewer / "Contents/Frameworks", "QtCore");
  signDeveloperID(viewer);
  Strings progress;
  report = ImportPreparationManager::shared().prepareImportedAppIfNeeded(
      viewer, std::nullopt, std::nullopt,
      [&](const std::string& line) { progress.push_back(line); });
  EXPECT_EQ(report.appURL, viewer);
  EXPECT_EQ(report.requirement, PreparationRequirement::verifyOnly);
  EXPECT_EQ(report.performedSteps,
            (Strings{"Scanned app bundle",
                     "Runtime-heavy nested code was detected. Verification is recommended before "
                     "continuing.",
                     "Scanned nested signable content", "Verified existing app signature"}));
  EXPECT_TRUE(report.isReadyForNextStep);
  EXPECT_EQ(progress.front(), "Scanning app bundle…");
  EXPECT_EQ(progress.back(), "Preparation complete.");

  // Unsigned without an identity: refused before anything is copied.
  const auto bare = app("Bare");
  const auto scan = CodeSignScanner().scanBundle(bare);
  try {
    ImportPreparationManager::shared().prepareImportedAppIfNeeded(bare, "  ", scan);
    FAIL() << "prepared";
  } catch (const ImportPreparationError& error) {
    EXPECT_STREQ(error.what(),
                 "A signing identity is required before this imported app can be prepared.");
  }
  EXPECT_FALSE(fs::exists(preparedImports()));

  EXPECT_THROW(ImportPreparationManager::shared().prepareImportedAppIfNeeded(
                   work() / "Gone.app", developerID, std::nullopt),
               ImportPreparationError);
}
