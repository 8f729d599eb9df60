// The configurable runner: streams, standard input, escalation, and process hygiene.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "ProcessTestSupport.hpp"
#include "core/Process/ProcessRunner.hpp"
#include "core/Process/ToolProcess.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
using namespace halyard::testing;
namespace fs = std::filesystem;

namespace {

ProcessRunRequest helperRequest(std::vector<std::string> arguments) {
  ProcessRunRequest request;
  request.executable = toolHelper();
  request.arguments = std::move(arguments);
  request.timeout = 30;
  return request;
}

int openDescriptorCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

} // namespace

TEST(ProcessRunnerStreams, ManySmallChunksArriveCompleteAndInOrder) {
  const auto result = ToolProcess::run(toolHelper(), {"outlines", "20000", "errlines", "5000"}, 60);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.standardOutput, numberedLines(20000));
  EXPECT_EQ(result.standardError, numberedLines(5000));
}

TEST(ProcessRunnerStreams, BytesThatAreNotUTF8AreKeptAsTheyCame) {
  // "ok " then a lone continuation byte (a path's byte, say) on standard output; "é" on standard
  // error.
  const auto result = ToolProcess::run(toolHelper(), {"outhex", "6f6b2080", "errhex", "c3a9"}, 30);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.standardOutput, "ok \x80");
  EXPECT_EQ(result.standardError, "\xc3\xa9");
}

TEST(ProcessRunnerStreams, FloodingBothStreamsNeverDeadlocks) {
  const long long size = 8 * 1024 * 1024;
  const auto result = ToolProcess::run(toolHelper(), {"flood", std::to_string(size)}, 60);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.standardOutput.size(), static_cast<size_t>(size));
  EXPECT_EQ(result.standardError.size(), static_cast<size_t>(size));
  EXPECT_EQ(result.standardOutput.substr(0, 27), "abcdefghijklmnopqrstuvwxyza");
}

TEST(ProcessRunnerStreams, ClosedStreamsStillWaitForTheExitStatus) {
  const auto result = ToolProcess::run(
      toolHelper(), {"out", "early", "close-out", "close-err", "sleep", "0.3", "exit", "4"}, 30);
  EXPECT_EQ(result.status, 4);
  EXPECT_EQ(result.standardOutput, "early");
}

TEST(ProcessRunnerStreams, SignalledChildReportsSignalPlus128) {
  EXPECT_EQ(ToolProcess::run(toolHelper(), {"raise", "9"}, 30).status, 137);
  EXPECT_EQ(ToolProcess::run(toolHelper(), {"raise", "15"}, 30).status, 143);
}

TEST(ProcessRunnerStreams, MergedAndDiscardedStandardError) {
  auto merged = helperRequest({"out", "a\n", "err", "b\n"});
  merged.mergeStreams = true;
  const auto mergedResult = ProcessRunner::run(merged);
  EXPECT_EQ(mergedResult.standardOutput, "a\nb\n");
  EXPECT_EQ(mergedResult.standardError, "");

  auto discarded = helperRequest({"out", "a\n", "err", "b\n"});
  discarded.discardStandardError = true;
  const auto discardedResult = ProcessRunner::run(discarded);
  EXPECT_EQ(discardedResult.standardOutput, "a\n");
  EXPECT_EQ(discardedResult.standardError, "");
}

TEST(ProcessRunnerStreams, GrandchildHoldingThePipesDoesNotOutlastTheDeadline) {
  // The child exits at once; what it left behind keeps both pipes open for 20 seconds.
  auto request = helperRequest({"out", "done\n", "grandchild", "20", "exit", "0"});
  request.timeout = 0.5;
  const auto start = std::chrono::steady_clock::now();
  const auto result = ProcessRunner::run(request);
  EXPECT_LT(secondsSince(start), 5.0);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.standardOutput, "done\n");
}

TEST(ProcessRunnerInput, StandardInputIsTheNullDeviceOrTheGivenText) {
  EXPECT_EQ(ToolProcess::run(toolHelper(), {"cat"}, 10).standardOutput, "");

  auto request = helperRequest({"cat"});
  request.standardInput = "hello\n";
  EXPECT_EQ(ProcessRunner::run(request).standardOutput, "hello\n");

  // Larger than any pipe buffer in both directions: writing and reading must interleave.
  std::string large(4 * 1024 * 1024, 'x');
  for (size_t i = 0; i < large.size(); i += 1000)
    large[i] = '\n';
  request.standardInput = large;
  const auto echoed = ProcessRunner::run(request);
  EXPECT_EQ(echoed.status, 0);
  EXPECT_TRUE(echoed.standardOutput == large);
}

TEST(ProcessRunnerInput, ChildThatNeverReadsItsInputDoesNotBreakTheRun) {
  // Writing into a pipe nobody reads raises SIGPIPE; it must not end this process.
  auto request = helperRequest({"close-out", "exit", "0"});
  request.standardInput = std::string(2 * 1024 * 1024, 'y');
  EXPECT_EQ(ProcessRunner::run(request).status, 0);
  request.arguments = {"exit", "6"};
  EXPECT_EQ(ProcessRunner::run(request).status, 6);
}

TEST(ProcessRunnerTimeout, EscalationKillsAChildThatIgnoresSIGTERM) {
  TemporaryFolder folder("Halyard_ProcessTest_");
  for (auto escalation :
       {TimeoutEscalation::terminateThenKill, TimeoutEscalation::terminateInterruptThenKill}) {
    auto request = helperRequest({"ignore-term", "out", "partial", "sleep", "20"});
    request.timeout = 0.2;
    request.escalation = escalation;
    request.escalationWait = 0.1;
    request.timeoutMessage = "Stapling took too long.";
    const auto start = std::chrono::steady_clock::now();
    const auto result = ProcessRunner::run(request);
    EXPECT_LT(secondsSince(start), 3.0);
    EXPECT_EQ(result.status, -2);
    EXPECT_EQ(result.standardOutput, "partial");
    EXPECT_EQ(result.standardError, "Stapling took too long.");
  }

  // Delivered at the deadline, the escalation still ends the child afterwards.
  const auto pidFile = folder.path() / "pid";
  auto early =
      helperRequest({"pidfile", pidFile.string(), "ignore-term", "out", "x", "sleep", "20"});
  early.timeout = 0.3;
  early.escalation = TimeoutEscalation::terminateThenKill;
  early.escalationWait = 0.1;
  early.deliverAtDeadline = true;
  early.keepOutputOnTimeout = false;
  const auto result = ProcessRunner::run(early);
  EXPECT_EQ(result.status, -2);
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(result.standardError, "Timed out after 0 seconds.");
  EXPECT_TRUE(processGone(pidFromFile(pidFile)));
}

TEST(ProcessRunnerTimeout, NoLimitWaitsAndOddLimitsAreSane) {
  auto request = helperRequest({"sleep", "0.3", "out", "late"});
  request.timeout = std::nullopt;
  EXPECT_EQ(ProcessRunner::run(request).standardOutput, "late");
  request.timeout = -5; // counts as no time at all
  EXPECT_EQ(ProcessRunner::run(request).status, -2);
  EXPECT_EQ(ProcessRunner::timeoutDescription(59.99), "Timed out after 59 seconds.");
}

TEST(ProcessRunnerHygiene, ChildStartsWithCleanSignalStateAndNoForeignDescriptors) {
  // The front end blocks SIGINT and SIGTERM on its threads; an ignored SIGPIPE would survive exec.
  sigset_t blocked;
  sigset_t previousMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  sigaddset(&blocked, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previousPipe {};
  sigaction(SIGPIPE, &ignore, &previousPipe);

  // Another run holds its pipes open meanwhile.
  std::thread other([] { ToolProcess::run(toolHelper(), {"sleep", "0.5"}, 10); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto signals = ToolProcess::run(toolHelper(), {"signals"}, 10);
  const auto descriptors = ToolProcess::run(toolHelper(), {"fds"}, 10);
  other.join();
  sigaction(SIGPIPE, &previousPipe, nullptr);
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

  EXPECT_EQ(signals.standardOutput, "blocked\nignored\n");
  // Whatever the child has beyond 0-2 must have been inherited on purpose from the test's own
  // environment (a descriptor open here without close-on-exec), never one of the runner's.
  std::istringstream listing(descriptors.standardOutput);
  std::string word;
  int fd = 0;
  while (listing >> word >> fd) {
    const int flags = ::fcntl(fd, F_GETFD);
    EXPECT_TRUE(flags >= 0 && !(flags & FD_CLOEXEC)) << "child inherited descriptor " << fd;
  }
}

TEST(ProcessRunnerHygiene, ThousandRunsLeakNoDescriptorsAndLeaveNoChildren) {
  // Reapers of earlier tests may still be letting go of their last descriptors.
  int before = openDescriptorCount();
  for (int settled = 0; settled < 3;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int now = openDescriptorCount();
    settled = now == before ? settled + 1 : 0;
    before = now;
  }
  const fs::path truePath = fs::exists("/bin/true") ? "/bin/true" : "/usr/bin/true";
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(ToolProcess::run(truePath, {}, 10).status, 0);
  }
  for (int i = 0; i < 20; ++i)
    ToolProcess::run(toolHelper(), {"sleep", "1"}, 0.01);
  for (int i = 0; i < 20; ++i)
    ToolProcess::run("/nonexistent/tool", {}, 10);
  // The timed-out children end a moment later; their reapers then close the last descriptors.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (openDescriptorCount() != before && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(openDescriptorCount(), before);
  // No child of ours is left, not even as a zombie.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}
