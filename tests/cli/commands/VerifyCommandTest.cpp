#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "cli/commands/VerifyCommand.hpp"
#include "cli/console/CLIError.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace bosun;
using halyard::ReleaseCheck;

namespace {

class VerifyArguments : public ::testing::Test {
protected:
  halyard::TemporaryFolder folder{"VerifyArguments_"};

  std::string touch(const std::string& name) {
    const auto path = folder.path() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "x";
    return path.string();
  }

  static VerifyCommand::Target target(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "verify");
    return VerifyCommand::checkedTarget(ParsedArguments(arguments));
  }

  // The CLIError the arguments raise.
  static CLIError errorFor(std::vector<std::string> arguments) {
    try {
      target(std::move(arguments));
    } catch (const CLIError& error) {
      return error;
    }
    ADD_FAILURE() << "no error raised";
    return CLIError(ExitCode::success, "");
  }
};

} // namespace

// The messages themselves are checked end to end; here, the order of the checks.
TEST_F(VerifyArguments, FirstFailingCheckWins) {
  EXPECT_EQ(errorFor({touch("a.dmg"), touch("b.dmg")}).code(), ExitCode::usage);
  EXPECT_EQ(errorFor({(folder.path() / "gone.txt").string(), "--deep"}).code(), ExitCode::input);
  EXPECT_EQ(errorFor({touch("notes.txt"), "--deep"}).message(),
            "verify works with .app, .dmg and .pkg files.");
  EXPECT_EQ(errorFor({"--deep", touch("X.pkg")}).message(), "--deep only applies to an .app.");
}

TEST_F(VerifyArguments, KindComesFromTheExtensionInAnyCase) {
  EXPECT_EQ(target({touch("APP.DMG")}).kind, ReleaseCheck::Kind::dmg);
  EXPECT_EQ(target({touch("Tool.Pkg")}).kind, ReleaseCheck::Kind::pkg);

  std::filesystem::create_directories(folder.path() / "My App.app");
  const auto app = target({(folder.path() / "My App.app/").string(), "--deep"});
  EXPECT_EQ(app.kind, ReleaseCheck::Kind::app);
  EXPECT_TRUE(app.deep);
  EXPECT_EQ(app.fileName, "My App.app");
}

// Every command reads its file through the same standardisation: "~" is the home folder for
// verify as it is for notarize.
TEST_F(VerifyArguments, TildeNamesTheHomeFolder) {
  touch("Home.dmg");
  const char* saved = std::getenv("HOME");
  const std::string previous = saved ? saved : "";
  ::setenv("HOME", folder.path().c_str(), 1);
  const auto home = target({"~/Home.dmg"});
  saved ? ::setenv("HOME", previous.c_str(), 1) : ::unsetenv("HOME");
  EXPECT_EQ(home.path, folder.path() / "Home.dmg");
}
