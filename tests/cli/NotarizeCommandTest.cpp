#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cli/CLIError.hpp"
#include "cli/NotarizeCommand.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace bosun {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  std::stringstream content;
  content << stream.rdbuf();
  return content.str();
}

class PrepareTargetTest : public ::testing::Test {
protected:
  void SetUp() override {
    source_ = folder_.path() / "in" / "My App.dmg";
    fs::create_directories(source_.parent_path());
    std::ofstream(source_) << "image";
  }

  CLIError failure(const std::string& output, bool overwrite = false) {
    try {
      NotarizeCommand::prepareTarget(source_, output, overwrite);
    } catch (const CLIError& error) {
      return error;
    }
    ADD_FAILURE() << "no error for " << output;
    return CLIError(ExitCode::success, "");
  }

  halyard::TemporaryFolder folder_{"PrepareTargetTest_"};
  fs::path source_;
};

TEST_F(PrepareTargetTest, TheSourceItselfIsUsedInPlaceWithoutCopying) {
  EXPECT_EQ(NotarizeCommand::prepareTarget(source_, std::nullopt, false), source_);
  EXPECT_EQ(NotarizeCommand::prepareTarget(source_, "../in/./My App.dmg", false), source_);
  EXPECT_EQ(std::distance(fs::directory_iterator(source_.parent_path()), {}), 1);
}

TEST_F(PrepareTargetTest, RelativeToTheSourceFolderWithExtensionsComparedInAnyCase) {
  // Relative paths start at the source's folder; the same extension in capitals is a file.
  EXPECT_EQ(NotarizeCommand::prepareTarget(source_, "copies/Final.DMG", false),
            source_.parent_path() / "copies" / "Final.DMG");
  EXPECT_EQ(NotarizeCommand::prepareTarget(source_, "deeper/", false),
            source_.parent_path() / "deeper" / "My App.dmg");
  EXPECT_EQ(read(source_.parent_path() / "deeper" / "My App.dmg"), "image");
}

TEST_F(PrepareTargetTest, ATildeStandsForTheHomeFolder) {
  const char* previous = std::getenv("HOME");
  const std::string saved = previous ? previous : "";
  ::setenv("HOME", folder_.path().c_str(), 1);
  const auto target = NotarizeCommand::prepareTarget(source_, "~/out", false);
  ::setenv("HOME", saved.c_str(), 1);
  EXPECT_EQ(target, folder_.path() / "out" / "My App.dmg");
}

TEST_F(PrepareTargetTest, AnExistingTargetIsReplacedOnlyWithOverwrite) {
  const fs::path target = folder_.path() / "out.dmg";
  std::ofstream(target) << "old";
  const auto error = failure(target.string());
  EXPECT_EQ(error.code(), ExitCode::input);
  EXPECT_EQ(error.message(), target.string() + " already exists.");
  EXPECT_EQ(error.hint(), "Add --overwrite to replace it.");
  EXPECT_EQ(read(target), "old");

  EXPECT_EQ(NotarizeCommand::prepareTarget(source_, target.string(), true), target);
  EXPECT_EQ(read(target), "image");
  // Replaced by rename: nothing is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), {}), 2);
}

TEST_F(PrepareTargetTest, APlatformErrorIsACopyFailure) {
  // The folder of the target cannot be made: a file stands where it should be.
  std::ofstream(folder_.path() / "blocked") << "file";
  const auto error = failure((folder_.path() / "blocked" / "x").string());
  const std::string target = (folder_.path() / "blocked" / "x" / "My App.dmg").string();
  EXPECT_EQ(error.code(), ExitCode::input);
  EXPECT_EQ(error.message().rfind("Could not copy to " + target + ": ", 0), 0u) << error.message();
  EXPECT_FALSE(error.hint().has_value());
}

} // namespace
} // namespace bosun
