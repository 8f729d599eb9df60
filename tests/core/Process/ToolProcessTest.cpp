// The shared runner and its throwing layer, as the components use them.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "ProcessTestSupport.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Process/ToolProcess.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
using namespace halyard::testing;

namespace {

ToolProcessResult runHelper(const std::vector<std::string>& arguments, double timeout = 30) {
  return ToolProcess::run(toolHelper(), arguments, timeout);
}

CoreCommandError captureError(const std::vector<std::string>& arguments, double timeout = 30,
                              std::optional<std::string> timeoutMessage = std::nullopt) {
  try {
    CoreCommand::capture(toolHelper(), arguments, timeout, timeoutMessage);
  } catch (const CoreCommandError& error) {
    return error;
  }
  ADD_FAILURE() << "capture did not throw";
  return CoreCommandError(0, "");
}

} // namespace

TEST(CoreCommand, CaptureReturnsCombinedOutputOfASuccessfulTool) {
  EXPECT_EQ(CoreCommand::capture(toolHelper(), {}, 30), "");
  EXPECT_EQ(CoreCommand::capture(toolHelper(), {"out", "a\n", "err", "b\n"}, 30), "a\nb");
  EXPECT_EQ(CoreCommand::capture(toolHelper(), {"out", "a\n", "err", "  \n"}, 30), "a");
  EXPECT_NO_THROW(CoreCommand::run(toolHelper(), {"out", "a\n"}, 30));
  // captureData keeps standard output exactly as written and ignores standard error.
  EXPECT_EQ(CoreCommand::captureData(toolHelper(), {"out", "  a\n\n", "err", "b"}, 30), "  a\n\n");

  const auto nothing = runHelper({});
  EXPECT_EQ(nothing.status, 0);
  EXPECT_EQ(nothing.standardOutput, "");
  EXPECT_EQ(nothing.standardError, "");
}

TEST(CoreCommand, FailureDescriptionPrefersStandardErrorThenOutputThenStatus) {
  auto error = captureError({"exit", "3"});
  EXPECT_EQ(error.code(), 3);
  EXPECT_EQ(error.domain(), "Halyard.process");
  EXPECT_STREQ(error.what(), "Process failed with status 3.");

  EXPECT_STREQ(captureError({"err", "bad\n", "exit", "3"}).what(), "bad");
  EXPECT_STREQ(captureError({"out", " said this \n", "exit", "1"}).what(), "said this");
  EXPECT_STREQ(captureError({"out", "out\n", "err", "err\n", "exit", "1"}).what(), "err");

  try {
    CoreCommand::captureData(toolHelper(), {"out", "o\n", "err", "e\n", "exit", "5"}, 30);
    ADD_FAILURE() << "captureData did not throw";
  } catch (const CoreCommandError& failure) {
    EXPECT_EQ(failure.code(), 5);
    EXPECT_STREQ(failure.what(), "o\ne");
  }
}

TEST(CoreCommand, ToolThatCannotStartFailsWithStatusMinusOne) {
  const auto missing = ToolProcess::run("/nonexistent/bosun-tool", {}, 30);
  EXPECT_EQ(missing.status, -1);
  EXPECT_EQ(missing.standardOutput, "");
  EXPECT_NE(missing.standardError.find("/nonexistent/bosun-tool"), std::string::npos);

  TemporaryFolder folder("Halyard_ProcessTest_");
  const auto plainFile = folder.path() / "not-executable";
  std::ofstream(plainFile) << "data";
  const auto notExecutable = ToolProcess::run(plainFile, {}, 30);
  EXPECT_EQ(notExecutable.status, -1);
  EXPECT_FALSE(notExecutable.standardError.empty());

  try {
    CoreCommand::run("/nonexistent/bosun-tool", {}, 30);
    ADD_FAILURE() << "run did not throw";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), -1);
    EXPECT_EQ(error.description(), missing.standardError);
  }
}

TEST(ToolProcess, TimeOutIsDeliveredAtOnceWithTheOutputSoFar) {
  TemporaryFolder folder("Halyard_ProcessTest_");
  const auto pidFile = folder.path() / "pid";
  const auto start = std::chrono::steady_clock::now();
  // The child ignores SIGTERM, so the result cannot have waited for its end.
  const auto result =
      runHelper({"pidfile", pidFile.string(), "ignore-term", "out", "so far\n", "sleep", "3"}, 1);
  const double elapsed = secondsSince(start);
  EXPECT_EQ(result.status, -2);
  EXPECT_EQ(result.standardOutput, "so far\n");
  EXPECT_EQ(result.standardError, "Timed out after 1 seconds.");
  EXPECT_GE(elapsed, 1.0);
  EXPECT_LT(elapsed, 2.5);
  // The child outlives the result, and is reaped in the background once it ends (no zombie).
  const pid_t pid = pidFromFile(pidFile);
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(processGone(pid, std::chrono::seconds(6)));
}

TEST(ToolProcess, TimeOutMessagesTruncateTheLimitAndCaptureUsesTheCallersText) {
  EXPECT_EQ(runHelper({"sleep", "5"}, 0.5).standardError, "Timed out after 0 seconds.");

  auto error = captureError({"sleep", "5"}, 0.2);
  EXPECT_EQ(error.code(), -2);
  EXPECT_STREQ(error.what(), "The process took too long and was stopped.");
  EXPECT_STREQ(captureError({"sleep", "5"}, 0.2, "Signing took too long.").what(),
               "Signing took too long.");

  try {
    CoreCommand::captureData(toolHelper(), {"out", "partial", "sleep", "5"}, 1.7);
    ADD_FAILURE() << "captureData did not throw";
  } catch (const CoreCommandError& failure) {
    EXPECT_EQ(failure.code(), -2);
    EXPECT_STREQ(failure.what(), "partial\nTimed out after 1 seconds.");
  }
}

TEST(ToolProcess, ChildEndingAtItsDeadlineGivesExactlyOneConsistentResult) {
  for (int i = 0; i < 40; ++i) {
    const auto result = runHelper({"out", "x", "sleep", "0.05"}, 0.05);
    if (result.status == -2) {
      EXPECT_EQ(result.standardError, "Timed out after 0 seconds.");
    } else {
      // It either finished first or was ended by the SIGTERM of the time-out.
      EXPECT_TRUE(result.status == 0 || result.status == 128 + SIGTERM) << result.status;
      EXPECT_EQ(result.standardOutput, "x");
      EXPECT_EQ(result.standardError, "");
    }
  }
}
