#include <gtest/gtest.h>

#include "StandInRoot.hpp"

using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
namespace fs = std::filesystem;

namespace {

// bosun copied away from the modules it loads on first use. A run that needs one fails and names
// the module with the loader's reason; a license it cannot read is not silently left out.
TEST(MissingModule, IsNamedAndStopsTheRun) {
  struct Case {
    std::vector<std::string> arguments;
    const char* file; // placed in the release folder with `contents` when set
    const char* contents;
    const char* module;
  };
  const Case cases[] = {
      {{"--dry-run", "--preview", "window.png"}, nullptr, nullptr, "bosun-artwork"},
      {{}, "eula.pdf", "%PDF-1.4\n", "bosun-documents"},
      {{"--appcast", "feed.xml", "--download-url", "https://example.com/downloads/",
        "--ed-key-file", "Release/update.key"},
       "update.key",
       "nWGxne/9WmC6hEr0kuwsxERJxWl7MmkZcDusAxyuf2A=",
       "bosun-appcast"},
      // Two apps to choose from are put in the Finder's order, even when one is named.
      {{"--app", "Sample.app"}, "Other.app", "", "bosun-collation"},
  };
  for (const Case& test : cases) {
    StandInRoot stand;
    const fs::path release = stand.makeReleaseFolder();
    if (test.file) std::ofstream(release / test.file) << test.contents;
    const fs::path lonely = stand.work() / "bin" / "bosun";
    fs::create_directories(lonely.parent_path());
    fs::copy_file(BOSUN_BINARY, lonely, fs::copy_options::overwrite_existing);

    bosun::testing::RunOptions options;
    options.executable = lonely;
    options.arguments = {"start", "Release", "--no-sign", "--no-notarize"};
    options.arguments.insert(options.arguments.end(), test.arguments.begin(), test.arguments.end());
    options.baseEnvironment = stand.environment();
    options.workingDirectory = stand.work();
    const RunResult result = bosun::testing::runProgram(options);

    EXPECT_FALSE(result.exitedWith(0)) << test.module;
    const std::string expected = std::string("The module ") + test.module +
                                 " could not be loaded: " + (lonely.parent_path() / "..").string();
    EXPECT_NE(result.standardError.find(expected), std::string::npos) << result.standardError;
    EXPECT_FALSE(fs::exists(stand.work() / "window.png"));
    EXPECT_FALSE(fs::exists(release / "Release.dmg"));
  }
}

} // namespace
