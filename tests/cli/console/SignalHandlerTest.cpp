// Cancellation: the detaching of leftover images, and a real interrupted run of a front-end
// program (SIGINT and SIGTERM) that undoes the clean-up registry.
#include <gtest/gtest.h>

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "cli/console/SignalHandler.hpp"
#include "cli/release/DiskImageCleanup.hpp"
#include "core/Process/ChildProcess.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Process/ProcessRunner.hpp"
#include "support/StandInRoot.hpp"

using namespace bosun;
namespace fs = std::filesystem;

namespace {

// A stand-in root in force for this process with two images attached: one a run that died left
// behind (in a "Halyard_DMG_" folder in the temporary folder, whose lock nobody holds) and one of
// the user's.
class LeftoverImages {
public:
  LeftoverImages()
      : leftover(attach(stand.temporary() / "Halyard_DMG_1/rw.dmg")),
        users(attach(stand.work() / "Users.dmg")) {}

  bool attached(const fs::path& image) const {
    return stand.toolOK("hdiutil", {"info"}).find(": " + image.string() + "\n") !=
           std::string::npos;
  }

  bosun::testing::StandInRootInForce stand;
  const fs::path leftover;
  const fs::path users;

private:
  fs::path attach(const fs::path& image) const {
    fs::create_directories(image.parent_path());
    stand.toolOK("hdiutil", {"create", "-size", "1m", "-fs", "HFS+", "-volname",
                             image.stem().string(), image.string()});
    stand.attach(image);
    return image;
  }
};

// The program cancel_scenario (a front-end command waiting for a long tool) run under the
// stand-in root on a thread of its own; constructed once the long tool runs (or after 20 s).
class ScenarioRun {
public:
  ScenarioRun(const bosun::testing::StandInRootInForce& stand, const fs::path& workspace,
              std::vector<std::string> extra = {})
      : pidFile(stand.work() / "tool.pid") {
    // Under the tool root, as every tool the program runs (the program itself too, for this run).
    const auto bin = stand.root() / "usr/bin";
    fs::create_symlink(fs::path(TEST_HELPER_DIR) / "tool_helper", bin / "longtool");
    fs::create_symlink(fs::path(TEST_HELPER_DIR) / "cancel_scenario", bin / "scenario");
    request_.executable = "/usr/bin/scenario";
    request_.arguments = {workspace.string(), "/usr/bin/longtool", pidFile.string()};
    request_.arguments.insert(request_.arguments.end(), extra.begin(), extra.end());
    request_.timeout = 60;
    runner_ = std::thread([this] { result_ = halyard::ProcessRunner::run(request_); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((!fs::exists(pidFile) || fs::file_size(pidFile) == 0) &&
           std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~ScenarioRun() {
    if (runner_.joinable()) runner_.join();
  }

  // The program's result, once it has ended.
  const halyard::ToolProcessResult& finish() {
    runner_.join();
    return result_;
  }

  const fs::path pidFile;

private:
  halyard::ProcessRunRequest request_;
  halyard::ToolProcessResult result_;
  std::thread runner_;
};

bool processGone(pid_t pid) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < until) {
    if (::kill(pid, 0) == -1 && errno == ESRCH) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

} // namespace

TEST(DiskImageCleanup, PicksTheWholeDiskOfEveryMarkedImageOnly) {
  const std::vector<halyard::DiskImageListing::Image> images = {
      {"/tmp/Halyard_DMG_1234/rw.dmg", "/dev/disk4", {}},
      {"/Users/me/Downloads/Other.dmg", "/dev/disk5", {}},
      {"/tmp/Bosun_ABCD/x.dmg", "", {}},
      {"/tmp/Bosun_77/z.dmg", "/dev/disk7s1", "/Volumes/z"},
      {"/tmp/bosun_lower/case.dmg", "/dev/disk8", {}},
      {"/private/var/Bosun_77/z.dmg", "/dev/disk9", {}},
      {"/tmp/mine/Halyard_DMG_1/z.dmg", "/dev/disk10", {}}};
  EXPECT_EQ(DiskImageCleanup::leftoverDevices(images, "/tmp"),
            (std::vector<std::string>{"/dev/disk4", "/dev/disk7s1"}));
}

// A device detached twice (say the whole disk and then its partition) would fail the second time.
TEST(DiskImageCleanup, DetachesEachLeftoverOnceAndLeavesTheUsersImages) {
  LeftoverImages images;
  EXPECT_TRUE(DiskImageCleanup::detachLeftoversSynchronously().empty());
  EXPECT_FALSE(images.attached(images.leftover));
  EXPECT_TRUE(images.attached(images.users));
}

// The whole sequence in a real process: a front-end program waits for a long tool, the signal
// arrives, and the process ends with 130 after both lines, the tool gone and the clean-up done.
class InterruptedRun : public ::testing::TestWithParam<int> {};

TEST_P(InterruptedRun, EndsWith130AfterCleaningUp) {
  LeftoverImages images;
  const auto workspace = images.stand.work() / "Bosun_Workspace";
  fs::create_directories(workspace / "inside");
  // Once the long tool runs, the program (the tool's parent) is interrupted.
  ScenarioRun run(images.stand, workspace);
  const auto& pidFile = run.pidFile;
  const auto running = halyard::ProcessRegistry::shared().runningProcesses();
  for (const auto& program : running)
    program->sendSignal(GetParam());
  const auto result = run.finish();
  ASSERT_EQ(running.size(), 1u);
  ASSERT_TRUE(fs::exists(pidFile)) << "the tool never started: " << result.standardError;
  const pid_t toolPid = static_cast<pid_t>(std::stoi(bosun::testing::fileContents(pidFile)));

  EXPECT_EQ(result.status, 130) << result.standardError;
  // The verbose log showed the tool's command line through the installed hook.
  EXPECT_NE(result.standardError.find("$ " + (images.stand.root() / "usr/bin/longtool").string() +
                                      " pidfile "),
            std::string::npos);
  EXPECT_EQ(result.standardOutput, "");
  const auto cancelling = result.standardError.find("Cancelling…");
  const auto cancelled = result.standardError.find("Cancelled.");
  ASSERT_NE(cancelling, std::string::npos) << result.standardError;
  ASSERT_NE(cancelled, std::string::npos) << result.standardError;
  EXPECT_LT(cancelling, cancelled);
  EXPECT_EQ(result.standardError.find("Cancelled.", cancelled + 1), std::string::npos)
      << "printed twice: " << result.standardError;
  EXPECT_TRUE(processGone(toolPid)) << "the tool is still running";
  EXPECT_FALSE(fs::exists(workspace));
  EXPECT_FALSE(images.attached(images.leftover));
  EXPECT_TRUE(images.attached(images.users));
}

// A clean-up that hangs cannot keep the process: a second signal ends it at once, and without
// one the bound does; either way the working folder it had not removed is named.
TEST(SignalHandler, AStuckCleanUpEndsAtASecondSignalOrAtTheBound) {
  for (const bool secondSignal : {true, false}) {
    SCOPED_TRACE(secondSignal ? "second signal" : "bound");
    bosun::testing::StandInRootInForce stand;
    const auto workspace = stand.temporary() / "Bosun_Stuck";
    fs::create_directories(workspace);
    ScenarioRun run(stand, workspace, {"stuck"});
    const auto running = halyard::ProcessRegistry::shared().runningProcesses();
    ASSERT_EQ(running.size(), 1u);
    const auto signalled = std::chrono::steady_clock::now();
    running.front()->sendSignal(SIGINT);
    if (secondSignal) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      running.front()->sendSignal(SIGINT);
    }
    const auto result = run.finish();
    const auto took = std::chrono::steady_clock::now() - signalled;

    EXPECT_EQ(result.status, 130) << result.standardError;
    const std::string reason =
        secondSignal
            ? "a second signal came"
            : "it took more than " + std::to_string(SignalHandler::cleanupBound) + " seconds";
    EXPECT_TRUE(result.standardError.ends_with("! Stopped cleaning up (" + reason +
                                               "); left behind: " + workspace.string() +
                                               ".\n✗ Cancelled.\n"))
        << result.standardError;
    // Not a speed check: a hung clean-up would hold the process for its whole minute.
    EXPECT_LT(took, std::chrono::seconds(secondSignal ? 10 : SignalHandler::cleanupBound + 20));
    EXPECT_TRUE(fs::exists(workspace));
  }
}

INSTANTIATE_TEST_SUITE_P(SignalHandler, InterruptedRun, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) {
                           return info.param == SIGINT ? "SIGINT" : "SIGTERM";
                         });
