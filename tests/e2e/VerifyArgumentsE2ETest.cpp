#include <gtest/gtest.h>

#include <fstream>

#include "BosunRun.hpp"

using bosun::testing::BosunSandbox;

TEST(VerifyArgumentsE2E, ErrorsComeFirstAndRunNothing) {
  // No stand-in root: nothing may be run before the arguments are found good.
  const BosunSandbox sandbox;
  const auto work = sandbox.home();
  auto result = sandbox.run({"verify"});
  EXPECT_TRUE(result.exitedWith(2));
  EXPECT_EQ(result.standardError,
            "✗ verify needs one .app, .dmg or .pkg.\n  Example: bosun verify MyApp.dmg\n");
  EXPECT_EQ(result.standardOutput, "");

  result = sandbox.run({"verify", "Missing.app"});
  EXPECT_TRUE(result.exitedWith(5));
  EXPECT_EQ(result.standardError, "✗ Missing.app does not exist.\n");

  std::ofstream(work / "notes.txt") << "x";
  result = sandbox.run({"verify", "notes.txt"});
  EXPECT_TRUE(result.exitedWith(5));
  EXPECT_EQ(result.standardError, "✗ verify works with .app, .dmg and .pkg files.\n");

  std::ofstream(work / "Sample.DMG") << "x";
  result = sandbox.run({"verify", "--deep", "Sample.DMG"});
  EXPECT_TRUE(result.exitedWith(2));
  EXPECT_EQ(result.standardError, "✗ --deep only applies to an .app.\n");
}
