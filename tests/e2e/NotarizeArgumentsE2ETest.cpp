#include <gtest/gtest.h>

#include <fstream>

#include "BosunRun.hpp"

using bosun::testing::BosunSandbox;

TEST(NotarizeArgumentsE2E, ErrorsBeforeAnyToolRuns) {
  // No stand-in root: nothing may be run before the arguments are found good.
  const BosunSandbox sandbox;
  const auto work = sandbox.home();
  const std::string usage =
      "✗ notarize needs one .dmg or .pkg.\n  Example: bosun notarize MyApp.dmg\n";
  auto result = sandbox.run({"notarize"});
  EXPECT_TRUE(result.exitedWith(2));
  EXPECT_EQ(result.standardError, usage);
  result = sandbox.run({"notarize", "A.dmg", "B.dmg"});
  EXPECT_TRUE(result.exitedWith(2));
  EXPECT_EQ(result.standardError, usage);

  // A missing file is reported as missing whatever its extension, with its full path.
  result = sandbox.run({"notarize", "Missing.zip"});
  EXPECT_TRUE(result.exitedWith(5));
  EXPECT_EQ(result.standardError, "✗ " + (work / "Missing.zip").string() + " does not exist.\n");

  std::ofstream(work / "Sample.zip") << "x";
  result = sandbox.run({"notarize", "Sample.zip"});
  EXPECT_TRUE(result.exitedWith(5));
  EXPECT_EQ(result.standardError, "✗ notarize works with .dmg and .pkg files.\n"
                                  "  To release an app, use `bosun start`.\n");

  // An upper-case extension is accepted; without credentials the run stops there.
  std::ofstream(work / "Sample.DMG") << "x";
  result = sandbox.run({"notarize", "~/Sample.DMG"});
  EXPECT_TRUE(result.exitedWith(4));
  EXPECT_EQ(result.standardError, "✗ No notarization credentials are configured.\n"
                                  "  Run `bosun setup`, or pass --profile <keychain profile> or "
                                  "--key/--key-id/--issuer.\n");
  EXPECT_EQ(result.standardOutput, "");
}
