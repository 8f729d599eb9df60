#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "BosunRun.hpp"

using bosun::testing::BosunSandbox;
using bosun::testing::RunResult;

namespace {
// Runs `bosun` with a tool root that holds no tools: every tool fails to start, which the
// inspection reports as facts it could not check.
class InspectWithoutTools : public ::testing::Test {
protected:
  BosunSandbox sandbox;
  std::filesystem::path emptyRoot = sandbox.home() / "no-tools";

  void SetUp() override { std::filesystem::create_directories(emptyRoot); }

  RunResult inspect(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "inspect");
    return sandbox.run(arguments, {{"BOSUN_TOOL_ROOT", emptyRoot.string()}});
  }
};
} // namespace

TEST_F(InspectWithoutTools, ArgumentErrors) {
  auto result = inspect({});
  EXPECT_TRUE(result.exitedWith(2));
  EXPECT_EQ(result.standardError,
            "✗ inspect needs one .dmg or .pkg file.\n  Example: bosun inspect MyApp.dmg\n");
  EXPECT_TRUE(inspect({"a.dmg", "b.dmg"}).exitedWith(2));

  result = inspect({"missing.dmg"});
  EXPECT_TRUE(result.exitedWith(5));
  EXPECT_EQ(result.standardError, "✗ missing.dmg does not exist.\n");

  std::filesystem::create_directories(sandbox.home() / "My.app");
  result = inspect({"My.app"});
  EXPECT_TRUE(result.exitedWith(5));
  EXPECT_EQ(result.standardError,
            "✗ inspect works with .dmg and .pkg files.\n  Use `bosun verify` for an .app.\n");
  EXPECT_EQ(result.standardOutput, "");

  // A package has no window to draw; an image that does not mount gives its report but no
  // picture, and says so.
  std::ofstream(sandbox.home() / "App.pkg") << "not really a package";
  result = inspect({"App.pkg", "--preview", "window.png"});
  EXPECT_TRUE(result.exitedWith(2));
  EXPECT_EQ(result.standardError, "✗ --preview shows a DMG's window; a PKG has none.\n"
                                  "  Leave out --preview.\n");
  std::ofstream(sandbox.home() / "App.dmg") << "not really an image";
  result = inspect({"App.dmg", "--preview", "window.png"});
  EXPECT_TRUE(result.exitedWith(5));
  EXPECT_NE(result.standardOutput.find("Trust score"), std::string::npos);
  EXPECT_NE(result.standardError.find("✗ No preview was drawn: the DMG could not be mounted."),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(sandbox.home() / "window.png"));
}

TEST_F(InspectWithoutTools, JSONModeWritesOnlyJSONLines) {
  std::ofstream(sandbox.home() / "APP.DMG") << "not really an image";
  const auto result =
      sandbox.run({"--json", "inspect", "APP.DMG"}, {{"BOSUN_TOOL_ROOT", emptyRoot.string()}});
  EXPECT_TRUE(result.exitedWith(14));
  EXPECT_EQ(result.standardError, "");
  ASSERT_TRUE(result.outputIsJSONLines()) << result.standardOutput;
  const auto lines = result.outputLines();
  ASSERT_FALSE(lines.empty());
  const auto first = nlohmann::json::parse(lines.front());
  EXPECT_EQ(first["event"], "step");
  EXPECT_EQ(first["message"], "Inspecting APP.DMG…");
  const auto report = nlohmann::json::parse(lines.back());
  EXPECT_EQ(report["event"], "report");
  EXPECT_EQ(report["kind"], "DMG");
  EXPECT_EQ(report["file"], (sandbox.home() / "APP.DMG").string());
  EXPECT_EQ(report["app"], nullptr);
  EXPECT_EQ(report["verdict"], "Not Trusted");
  EXPECT_EQ(report["categories"].size(), 4u);
  EXPECT_EQ(report["categories"][1]["fields"][1]["id"], "appBundle");
  EXPECT_EQ(report["categories"][1]["fields"][1]["status"], "problem");
}
