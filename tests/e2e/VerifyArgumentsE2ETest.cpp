#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
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

// Every command that reads a file names what is wrong with it before any tool runs (there is no
// stand-in root here, so a tool run would fail differently) and never blocks on a FIFO.
TEST(VerifyArgumentsE2E, InputsThatAreNotReadableFilesAreNamed) {
  const BosunSandbox sandbox;
  const auto work = sandbox.home();
  std::filesystem::create_directory(work / "Folder.dmg");
  ASSERT_EQ(::mkfifo((work / "Pipe.pkg").c_str(), 0600), 0);
  std::filesystem::create_symlink(work / "gone.dmg", work / "Dangling.dmg");
  const std::string tooLong(300, 'a');
  const std::pair<std::string, std::string> cases[] = {
      {"", "No file was given."},
      {tooLong + ".dmg", tooLong + ".dmg: the name is too long."},
      {"Dangling.dmg", "Dangling.dmg is a link to a missing file."},
      {"Folder.dmg", "Folder.dmg is a folder, not a file."},
      {"Pipe.pkg", "Pipe.pkg is not a regular file."},
  };
  for (const std::string command : {"verify", "inspect", "notarize"}) {
    for (const auto& [typed, message] : cases) {
      // notarize names the file by its full path.
      const std::string shown = command == "notarize" && !typed.empty()
                                    ? (work / typed).string() + message.substr(typed.size())
                                    : message;
      const auto result = sandbox.run({command, typed, "--profile", "p"});
      EXPECT_TRUE(result.exitedWith(5)) << command << " " << typed << "\n" << result.standardError;
      EXPECT_EQ(result.standardError, "✗ " + shown + "\n") << command;
      EXPECT_EQ(result.standardOutput, "");
    }
  }
}
