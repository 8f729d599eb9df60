#include <gtest/gtest.h>

#include <regex>

#include "StandInRoot.hpp"

namespace {

using bosun::testing::RunOptions;
using bosun::testing::StandInRoot;

// A step that waits on a slow tool, on a terminal: the step line is redrawn in place with the
// elapsed time, but never with --quiet. The stand-in keychain tool takes 5 s for the one call
// that follows the step "Checking signing identities…".
TEST(ProgressE2E, ASlowToolShowsTheElapsedTimeOnATerminalUnlessQuiet) {
  StandInRoot stand;
  const std::regex redraw("\x1B\\[1A\r\x1B\\[2K› Checking signing identities… \\([0-9]+ s\\)\n");
  for (const bool quiet : {false, true}) {
    RunOptions options;
    options.executable = BOSUN_BINARY;
    options.arguments = {"doctor", "--offline", "--no-color"};
    if (quiet) options.arguments.push_back("--quiet");
    options.baseEnvironment = stand.environment();
    options.environment = {{"MACSIM_SECURITY_DELAY", "5"},
                           {"MACSIM_SECURITY_WHEN", "show-keychain-info"}};
    options.workingDirectory = stand.work();
    options.errorIsTerminal = true;
    const auto result = bosun::testing::runProgram(options);
    EXPECT_EQ(std::regex_search(result.standardError, redraw), !quiet) << result.standardError;
    if (quiet) {
      EXPECT_EQ(result.standardError.find("\x1B[1A"), std::string::npos);
    }
  }
}

} // namespace
