#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

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

// Commands that change files and have no dry run refuse one, and an empty --output is no
// "in place": both are usage errors before anything is read, run or written.
TEST(NotarizeArgumentsE2E, ADryRunOrAnEmptyOutputIsRefusedBeforeAnythingHappens) {
  const BosunSandbox sandbox;
  const auto work = sandbox.home();
  std::ofstream(work / "Sample.dmg") << "x";
  const auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(work))
      names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const auto before = listing();
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"notarize", "Sample.dmg", "--dry-run", "--profile", "p"},
       "✗ `bosun notarize` has no dry run.\n"
       "  Run `bosun verify <file>` to check a file without changing it.\n"},
      {{"setup", "--dry-run", "--create-profile", "p"},
       "✗ `bosun setup` has no dry run.\n  Run `bosun setup --show` to see the saved settings.\n"},
      {{"notarize", "Sample.dmg", "--output=", "--profile", "p"},
       "✗ --output needs a file or folder.\n  Leave out --output to notarize the file in place.\n"},
      {{"notarize", "Sample.dmg", "-o", "", "--profile", "p"},
       "✗ --output needs a file or folder.\n  Leave out --output to notarize the file in place.\n"},
  };
  for (const auto& [arguments, message] : cases) {
    const auto result = sandbox.run(arguments);
    EXPECT_TRUE(result.exitedWith(2)) << arguments[1] << "\n" << result.standardError;
    EXPECT_EQ(result.standardError, message);
    EXPECT_EQ(result.standardOutput, "");
  }
  EXPECT_EQ(listing(), before);
}

// Settings that would silently not apply are told: a --config file that is not there stops the
// run naming it, and an unknown or mis-cased key gets a warning naming the nearest known key.
TEST(NotarizeArgumentsE2E, ConfigurationThatWouldNotApplyIsTold) {
  const BosunSandbox sandbox;
  const auto work = sandbox.home();
  std::ofstream(work / "Sample.dmg") << "x";
  auto result = sandbox.run({"notarize", "Sample.dmg", "--config", "missing.json"});
  EXPECT_TRUE(result.exitedWith(3)) << result.standardError;
  EXPECT_EQ(result.standardError,
            "✗ The configuration file missing.json does not exist.\n  Check the --config path, or "
            "create the file with `bosun setup --config missing.json`.\n");

  std::ofstream(work / "bosun.json") << R"({"Identity": "x", "keychainProfle": "p"})";
  result = sandbox.run({"notarize", "Sample.dmg"});
  EXPECT_TRUE(result.exitedWith(4)) << result.standardError;
  const std::string file = (work / "bosun.json").string();
  EXPECT_EQ(result.standardError.substr(0, result.standardError.find("✗")),
            "! Unknown key \"Identity\" in " + file +
                " is ignored. Did you mean \"identity\"?\n"
                "! Unknown key \"keychainProfle\" in " +
                file + " is ignored. Did you mean \"keychainProfile\"?\n");
}
