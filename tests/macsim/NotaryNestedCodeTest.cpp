#include "StandInFixture.hpp"

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace macsim::testing {

// The notary service looks at every piece of code in an Electron-like app, not only at the app:
// a helper without the hardened runtime, or a library that only the outer seal covers, makes the
// submission Invalid and the log names it.
class NotaryNestedCodeTest : public StandInFixture {
protected:
  void SetUp() override {
    StandInFixture::SetUp();
    addIdentity(developerID);
    ASSERT_EQ(macsim({"profile", "add", "release"}).status, 0);
  }

  fs::path electronApp() const {
    const auto app = makeApp("Beacon");
    const auto frameworks = app / "Contents/Frameworks";
    const auto framework = frameworks / "Electron Framework.framework";
    macsim({"machO", "--type", "dylib", (framework / "Versions/A/Electron Framework").string()});
    writeFile(framework / "Versions/A/Resources/Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
              "<string>com.example.electron</string></dict></plist>\n");
    fs::create_directory_symlink("A", framework / "Versions/Current");
    macsim({"machO", "--type", "dylib",
            (framework / "Versions/A/Libraries/libffmpeg.dylib").string()});
    const auto helper = frameworks / "Beacon Helper.app/Contents";
    writeFile(helper / "Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
              "<string>Beacon Helper</string></dict></plist>\n");
    macsim({"machO", (helper / "MacOS/Beacon Helper").string()});
    return app;
  }

  void sign(const fs::path& item, bool runtime = true) const {
    std::vector<std::string> arguments{"--force", "--timestamp", "--sign", developerID};
    if (runtime) arguments.insert(arguments.end(), {"--options", "runtime"});
    arguments.push_back(item.string());
    const auto result = run("codesign", arguments);
    ASSERT_EQ(result.status, 0) << result.err;
  }

  // Submits a ZIP of the app; returns the log's (path, message) pairs, none when Accepted.
  std::vector<std::pair<std::string, std::string>> issuesOf(const fs::path& app) const {
    const auto zip = work / "Beacon.zip";
    fs::remove(zip);
    EXPECT_EQ(run("ditto", {"-c", "-k", "--keepParent", app.string(), zip.string()}).status, 0);
    const auto submitted = run("notarytool", {"submit", zip.string(), "--keychain-profile",
                                              "release", "--wait", "--output-format", "json"});
    const auto id = nlohmann::json::parse(submitted.out)["id"].get<std::string>();
    const auto log =
        nlohmann::json::parse(run("notarytool", {"log", id, "--keychain-profile", "release"}).out);
    std::vector<std::pair<std::string, std::string>> issues;
    if (log["issues"].is_array())
      for (const auto& issue : log["issues"])
        issues.emplace_back(issue["path"], issue["message"]);
    EXPECT_EQ(log["status"], issues.empty() ? "Accepted" : "Invalid");
    return issues;
  }
};

TEST_F(NotaryNestedCodeTest, EveryNestedPieceMustCarryTheRuntimeAndTheDeveloperID) {
  const auto app = electronApp();
  const auto frameworks = app / "Contents/Frameworks";
  const auto library =
      frameworks / "Electron Framework.framework/Versions/A/Libraries/libffmpeg.dylib";
  const auto helper = frameworks / "Beacon Helper.app";
  using Issues = std::vector<std::pair<std::string, std::string>>;

  // The library inside the framework left unsigned: the framework's seal covers it as a
  // resource, so codesign signs everything else, but the service finds it.
  sign(frameworks / "Electron Framework.framework");
  sign(helper);
  sign(app);
  EXPECT_EQ(issuesOf(app),
            (Issues{{"Beacon.zip/Beacon.app/Contents/Frameworks/Electron Framework.framework/"
                     "Versions/A/Libraries/libffmpeg.dylib",
                     "The binary is not signed with a valid Developer ID certificate."},
                    {"Beacon.zip/Beacon.app/Contents/Frameworks/Electron Framework.framework/"
                     "Versions/A/Libraries/libffmpeg.dylib",
                     "The signature does not include a secure timestamp."}}));

  // Signed, but the helper without the hardened runtime.
  sign(library);
  sign(frameworks / "Electron Framework.framework");
  sign(helper, false);
  sign(app);
  EXPECT_EQ(issuesOf(app),
            (Issues{{"Beacon.zip/Beacon.app/Contents/Frameworks/Beacon Helper.app/Contents/MacOS/"
                     "Beacon Helper",
                     "The executable does not have the hardened runtime enabled."}}));

  sign(helper);
  sign(app);
  EXPECT_TRUE(issuesOf(app).empty());
}

} // namespace macsim::testing
