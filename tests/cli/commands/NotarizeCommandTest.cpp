#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "cli/commands/NotarizeCommand.hpp"
#include "cli/console/CLIError.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace bosun {
namespace {

namespace fs = std::filesystem;

// The end-to-end runs cover folders, exact files and the input itself; these are the corners.
class PrepareTargetTest : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(source_.parent_path());
    std::ofstream(source_) << "image";
  }

  halyard::TemporaryFolder folder_{"PrepareTargetTest_"};
  fs::path source_ = folder_.path() / "in" / "My App.dmg";
};

TEST_F(PrepareTargetTest, PathsAreReadLikeAShellUserMeansThem) {
  // The same extension in capitals names the copy itself; a trailing separator changes nothing.
  EXPECT_EQ(NotarizeCommand::prepareTarget(source_, "copies/Final.DMG", false),
            source_.parent_path() / "copies" / "Final.DMG");
  EXPECT_EQ(NotarizeCommand::prepareTarget(source_, "../in/My App.dmg/", false), source_);

  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", folder_.path().c_str(), 1);
  const auto target = NotarizeCommand::prepareTarget(source_, "~/out", false);
  ::setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(target, folder_.path() / "out" / "My App.dmg");
}

TEST_F(PrepareTargetTest, AnOverwrittenTargetStaysUntilTheRunHasSucceeded) {
  const fs::path target = folder_.path() / "out.dmg";
  std::ofstream(target) << "old";
  EXPECT_EQ(NotarizeCommand::prepareTarget(source_, target.string(), true), target);
  std::ifstream stream(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stream), {}), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), {}), 2); // in/ and out.dmg
}

TEST_F(PrepareTargetTest, APlatformErrorIsACopyFailure) {
  std::ofstream(folder_.path() / "blocked") << "a file where a folder should be";
  try {
    NotarizeCommand::prepareTarget(source_, (folder_.path() / "blocked" / "x").string(), false);
    ADD_FAILURE() << "no error";
  } catch (const CLIError& error) {
    const auto target = folder_.path() / "blocked" / "x" / "My App.dmg";
    EXPECT_EQ(error.code(), ExitCode::input);
    EXPECT_EQ(error.message().rfind("Could not copy to " + target.string() + ": ", 0), 0u)
        << error.message();
    EXPECT_FALSE(error.hint().has_value());
  }
}

} // namespace
} // namespace bosun
