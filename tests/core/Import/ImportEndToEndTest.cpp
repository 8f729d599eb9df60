#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <nlohmann/json.hpp>

#include "core/Import/ImportPreparationManager.hpp"
#include "core/Import/ImportStandIns.hpp"
#include "core/Support/SHA256.hpp"

namespace fs = std::filesystem;
using namespace halyard;

namespace {

// Every item of the tree: a file's digest and mode, a link's target, a folder's mode.
std::map<std::string, std::string> fingerprint(const fs::path& root) {
  std::map<std::string, std::string> items;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const auto relative = it->path().lexically_relative(root).string();
    struct stat info {};
    ::lstat(it->path().c_str(), &info);
    if (it->is_symlink())
      items[relative] = "link " + fs::read_symlink(it->path()).string();
    else if (it->is_regular_file())
      items[relative] = SHA256::hexDigestOfFile(it->path()) + " " + std::to_string(info.st_mode);
    else
      items[relative] = "folder " + std::to_string(info.st_mode);
  }
  return items;
}

} // namespace

class ImportEndToEnd : public halyard::testing::ImportStandIns {
protected:
  // Zips the app as a release submits it and returns the notary log's (path, message) pairs.
  std::vector<std::pair<std::string, std::string>> notarize(const fs::path& app) const {
    const auto zip = work() / "Beacon.zip";
    fs::remove(zip);
    standIns.toolOK("/usr/bin/ditto", {"-c", "-k", "--keepParent", app.string(), zip.string()});
    const auto submitted = nlohmann::json::parse(standIns.toolOK(
        "/usr/bin/xcrun", {"notarytool", "submit", zip.string(), "--keychain-profile",
                           standIns.profile, "--wait", "--output-format", "json"}));
    const auto log = nlohmann::json::parse(
        standIns.toolOK("/usr/bin/xcrun", {"notarytool", "log", submitted["id"].get<std::string>(),
                                           "--keychain-profile", standIns.profile}));
    std::vector<std::pair<std::string, std::string>> issues;
    if (log["issues"].is_array())
      for (const auto& issue : log["issues"])
        issues.emplace_back(issue["path"], issue["message"]);
    EXPECT_EQ(submitted["status"], issues.empty() ? "Accepted" : "Invalid");
    return issues;
  }
};

TEST_F(ImportEndToEnd, PreparationIsWhatMakesAnAdHocElectronAppPassTheNotary) {
  standIns.addProfile();
  const auto app = electronApp("Beacon");
  signAdHoc(app);
  const auto original = fingerprint(app);

  // As exported: every piece ad hoc, the helpers among them.
  const auto unprepared = notarize(app);
  const std::pair<std::string, std::string> helperIssue{
      "Beacon.zip/Beacon.app/Contents/Frameworks/Beacon Helper.app/Contents/MacOS/Beacon Helper",
      "The binary is not signed with a valid Developer ID certificate."};
  EXPECT_NE(std::find(unprepared.begin(), unprepared.end(), helperIssue), unprepared.end());

  auto report =
      ImportPreparationManager::shared().prepareImportedAppIfNeeded(app, developerID, std::nullopt);
  EXPECT_EQ(report.appKind, ImportedAppKind::electronLike);
  EXPECT_EQ(report.requirement, PreparationRequirement::prepareAndResign);
  ASSERT_TRUE(report.isReadyForNextStep);
  EXPECT_NE(report.appURL, app);
  EXPECT_TRUE(notarize(report.appURL).empty());

  EXPECT_EQ(fingerprint(app), original); // the user's app is untouched

  // The service looks at every piece: one helper re-signed without the hardened runtime fails it.
  const auto helper = report.appURL / "Contents/Frameworks/Beacon Helper.app";
  codesign({"--force", "--timestamp", "--sign", developerID, helper.string()});
  codesign({"--force", "--options", "runtime", "--timestamp", "--sign", developerID,
            report.appURL.string()});
  EXPECT_EQ(
      notarize(report.appURL),
      (std::vector<std::pair<std::string, std::string>>{
          {helperIssue.first, "The executable does not have the hardened runtime enabled."}}));
  const auto folder = *report.workingCopyFolder;
  report.releaseWorkingCopy();
  EXPECT_FALSE(fs::exists(folder));
}
