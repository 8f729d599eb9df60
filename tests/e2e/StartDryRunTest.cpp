#include <gtest/gtest.h>

#include <fstream>

#include "BosunRun.hpp"

using bosun::testing::BosunSandbox;
using bosun::testing::RunResult;
namespace fs = std::filesystem;

namespace {

const std::string kNotSetUp =
    "✗ Bosun is not set up yet.\n"
    "  Run `bosun setup` in Terminal, pass --identity and --profile (or --key/--key-id/--issuer), "
    "or add --no-sign --no-notarize.\n";

// A sandbox home with a release folder "Releases" holding MyApp.app; runs start in the home.
class StartDryRun : public ::testing::Test {
protected:
  BosunSandbox sandbox;
  fs::path releases = sandbox.home() / "Releases";

  void SetUp() override { fs::create_directories(releases / "MyApp.app" / "Contents"); }

  static void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  void writeUserConfig(const std::string& json) {
    write(sandbox.home() / ".config" / "bosun" / "config.json", json);
  }

  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(releases))
      names.push_back(entry.path().lexically_relative(releases).string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

} // namespace

TEST_F(StartDryRun, NothingConfiguredNeedsSetupUnlessSigningAndNotarizationAreOff) {
  for (const std::string flag : {"--dry-run", "--yes", "--quiet"}) {
    const RunResult result = sandbox.run({"start", "Releases", flag});
    EXPECT_TRUE(result.exitedWith(3));
    EXPECT_EQ(result.standardError, kNotSetUp);
  }
  const RunResult json = sandbox.run({"start", "Releases", "--json"});
  EXPECT_TRUE(json.exitedWith(3));
  ASSERT_TRUE(json.outputIsJSONLines());
  const auto event = nlohmann::json::parse(json.outputLines().at(0));
  EXPECT_EQ(event["event"], "error");
  EXPECT_EQ(event["class"], "configuration");
  EXPECT_EQ(event["message"], "Bosun is not set up yet.");

  const RunResult unsignedRun =
      sandbox.run({"start", "Releases", "--no-sign", "--no-notarize", "--dry-run"});
  EXPECT_TRUE(unsignedRun.exitedWith(0)) << unsignedRun.standardError;
  EXPECT_EQ(unsignedRun.standardOutput, "Dry run: nothing was changed.\n");
  EXPECT_EQ(unsignedRun.standardError, "Project: " + releases.string() +
                                           "\n"
                                           "App: MyApp.app\n"
                                           "Template: none (default Halyard style)\n"
                                           "License agreement: none\n"
                                           "Output: " +
                                           (releases / "Releases.dmg").string() + "\n");
  EXPECT_EQ(listing(), (std::vector<std::string>{"MyApp.app", "MyApp.app/Contents"}));
}

TEST_F(StartDryRun, AConfiguredReleaseDescribesEveryStepAndChangesNothing) {
  writeUserConfig(R"json({"identity": "Developer ID Application: Example (A1B2C3D4E5)",
                      "keychainProfile": "notary"})json");
  write(releases / "design.hyd", "{}");
  write(releases / "EULA.rtf", "x");
  write(releases / "bosun.json",
        R"({"window": "large", "compression": "lzfse", "deepVerify": true})");
  const auto before = listing();

  const RunResult result = sandbox.run({"start", "--verbose", "--dry-run"}, {});
  // The current folder is the home, which has no app.
  EXPECT_TRUE(result.exitedWith(5));
  EXPECT_EQ(result.standardError, "✗ No .app or .zip was found in " + sandbox.home().string() +
                                      ".\n  Put your exported app (or a .zip of it) in the "
                                      "folder, or pass its path.\n");

  const RunResult verbose =
      sandbox.run({"start", "Releases/MyApp.app", "--verbose", "--dry-run", "--no-color"});
  EXPECT_TRUE(verbose.exitedWith(0)) << verbose.standardError;
  EXPECT_EQ(verbose.standardOutput, "Dry run: nothing was changed.\n");
  const std::string output = (releases / "Releases.dmg").string();
  EXPECT_EQ(verbose.standardError,
            "Project: " + releases.string() +
                "\n"
                "App: MyApp.app\n"
                "Template: design.hyd\n"
                "License agreement: EULA.rtf\n"
                "Output: " +
                output +
                "\n"
                "  │ 1. Copy MyApp.app into a temporary workspace\n"
                "  │ 2. Sign the app with Developer ID Application: Example (A1B2C3D4E5)\n"
                "  │ 3. Verify the signature (deep, strict)\n"
                "  │ 4. Build Releases.dmg (large window, LZFSE compression, template design.hyd)\n"
                "  │ 5. Add the license agreement from EULA.rtf\n"
                "  │ 6. Sign, notarize, staple and validate Releases.dmg using keychain profile "
                "\"notary\"\n"
                "  │ 7. Check signing, notarization and stapling\n");
  EXPECT_EQ(listing(), before);
}

TEST_F(StartDryRun, TheJSONPlanEventOfAZipSource) {
  fs::remove_all(releases / "MyApp.app");
  write(releases / "MyApp.zip", "PK");
  write(releases / "privacy.md", "x");
  const RunResult result = sandbox.run({"--json", "start", "Releases", "--no-sign", "--no-notarize",
                                        "--format", "pkg", "--dry-run"});
  EXPECT_TRUE(result.exitedWith(0)) << result.standardOutput;
  EXPECT_EQ(result.standardError, "");
  ASSERT_TRUE(result.outputIsJSONLines());
  const auto lines = result.outputLines();
  ASSERT_EQ(lines.size(), 5u); // four info lines (no template line for a PKG) and the plan
  EXPECT_EQ(nlohmann::json::parse(lines[2])["message"], "License agreement: privacy.md");
  auto plan = nlohmann::json::parse(lines[4]);
  EXPECT_EQ(plan["event"], "plan");
  EXPECT_EQ(plan["folder"], releases.string());
  EXPECT_EQ(plan["app"], (releases / "MyApp.zip").string());
  EXPECT_TRUE(plan["template"].is_null());
  EXPECT_EQ(plan["output"], (releases / "Releases.pkg").string());
  EXPECT_EQ(plan["format"], "pkg");
  EXPECT_EQ(plan["steps"], nlohmann::json::array({
                               "Copy MyApp.zip into a temporary workspace and extract it",
                               "Build Releases.pkg (installs to /Applications)",
                               "Add the license agreement from privacy.md",
                               "Check signing, notarization and stapling",
                           }));
}

TEST_F(StartDryRun, EachKindOfFailureHasItsExitCode) {
  fs::create_directories(releases / "B.app");
  write(releases / "B.dmg", "x");
  struct Case {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    int code;
  };
  const std::vector<Case> cases = {
      {{"Releases", "Other"}, {}, 2},                         // more than one positional
      {{"Releases"}, {}, 5},                                  // two apps
      {{"Releases", "--app", "B.app", "--name", "B"}, {}, 5}, // the result exists
      {{"Releases", "--app", "B.app", "--name", " "}, {}, 2}, // empty name
      {{"Releases", "--app", "B.app", "--output="}, {}, 2},   // empty output
      {{"Releases", "--app", "B.app", "--deep", "--no-deep"}, {}, 2},
      {{"Releases", "--app", "B.app"}, {{"BOSUN_DEEP", "maybe"}}, 3},
      {{"Releases", "--app", "B.app", "--name", "B", "--overwrite"}, {}, 0},
  };
  for (const auto& [arguments, environment, code] : cases) {
    std::vector<std::string> all = {"start", "--no-sign", "--no-notarize", "--dry-run"};
    all.insert(all.begin() + 1, arguments.begin(), arguments.end());
    const RunResult result = sandbox.run(all, environment);
    EXPECT_TRUE(result.exitedWith(code)) << code << ": " << result.standardError;
  }
  EXPECT_EQ(sandbox.run({"start", "a", "b"}).standardError,
            "✗ start takes one folder, .app or .zip.\n  Example: bosun start ~/Releases/MyApp\n");
  EXPECT_TRUE(fs::exists(releases / "B.dmg")); // a dry run replaces nothing
}

TEST_F(StartDryRun, HostileFoldersNeverCrashDiscovery) {
  for (int i = 0; i < 3000; ++i)
    write(releases / ("notes " + std::to_string(i) + ".txt"), "");
  write(releases / "\xF0\x9F\x93\x9C Licence \xFF.rtf", "x");
  fs::create_symlink("/nonexistent/terms.md", releases / "terms.md");
  fs::create_symlink("/", releases / "root.hyd");
  fs::create_symlink(releases / "loop.hyd", releases / "loop.hyd");

  // Two templates (one a loop): the ambiguity is reported.
  RunResult result = sandbox.run({"start", "Releases", "--no-sign", "--no-notarize", "--dry-run"});
  EXPECT_TRUE(result.exitedWith(5));
  EXPECT_EQ(result.errorLines().at(0),
            "✗ Releases contains more than one template: loop.hyd, root.hyd.");

  // JSON stays valid with names that are not UTF-8.
  fs::rename(releases / "MyApp.app", releases / "My\xFF.app");
  result = sandbox.run(
      {"--json", "start", "Releases", "--no-sign", "--no-notarize", "--dry-run", "--no-template"});
  EXPECT_TRUE(result.exitedWith(0)) << result.standardOutput;
  ASSERT_TRUE(result.outputIsJSONLines());
  const auto plan = nlohmann::json::parse(result.outputLines().back());
  EXPECT_EQ(plan["app"], (releases / "My\uFFFD.app").string());
  // Symbols sort before letters in the Finder's order.
  EXPECT_EQ(plan["steps"][2],
            "Add the license agreement from \xF0\x9F\x93\x9C Licence \uFFFD.rtf, terms.md");
}
