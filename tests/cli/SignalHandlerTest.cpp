// Cancellation: the clean-up registry, the detaching of leftover images, and a real interrupted
// run of a front-end program (SIGINT and SIGTERM).
#include <gtest/gtest.h>

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "CapturedConsole.hpp"
#include "cli/DiskImageCleanup.hpp"
#include "cli/SignalHandler.hpp"
#include "core/Process/ChildProcess.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Process/ProcessRunner.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace bosun;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

std::string entity(const std::string& device) {
  return "<dict><key>content-hint</key><string>Apple_HFS</string><key>dev-entry</key><string>" +
         device + "</string></dict>";
}

std::string image(const std::string& path, const std::string& entities) {
  return "<dict><key>image-path</key><string>" + path +
         "</string><key>system-entities</key><array>" + entities + "</array></dict>";
}

std::string infoList(const std::string& images) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>framework</key><string>1</string><key>images</key><array>" +
         images + "</array></dict></plist>\n";
}

// A tool root whose usr/bin/hdiutil is the recording stand-in; BOSUN_TOOL_ROOT points at it for
// the fixture's lifetime.
class FakeToolRoot {
public:
  FakeToolRoot() : root_("Halyard_FakeRoot_") {
    fs::create_directories(bin());
    fs::create_symlink(fs::path(TEST_HELPER_DIR) / "fake_hdiutil", bin() / "hdiutil");
    setenv("BOSUN_TOOL_ROOT", root_.path().c_str(), 1);
  }
  ~FakeToolRoot() { unsetenv("BOSUN_TOOL_ROOT"); }

  fs::path bin() const { return root_.path() / "usr/bin"; }
  const fs::path& path() const { return root_.path(); }
  void answer(const std::string& plist) const {
    std::ofstream(bin() / "hdiutil-info.plist") << plist;
  }
  void set(const std::string& file, const std::string& value) const {
    std::ofstream(bin() / file) << value;
  }
  std::string calls() const { return readFile(bin() / "hdiutil.log"); }

private:
  halyard::TemporaryFolder root_;
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
  const auto list = infoList(
      image("/tmp/Halyard_DMG_1234/rw.dmg",
            entity("/dev/disk4s2") + entity("/dev/disk4") + entity("/dev/disk4s1")) +
      image("/Users/me/Downloads/Other.dmg", entity("/dev/disk5")) +
      image("/tmp/Bosun_ABCD/x.dmg", "<dict><key>content-hint</key><string>x</string></dict>") +
      "<dict><key>system-entities</key><array>" + entity("/dev/disk6") + "</array></dict>" +
      "<dict><key>image-path</key><string>/tmp/Bosun_EF/y.dmg</string></dict>" +
      image("/private/var/Bosun_77/z.dmg", entity("/dev/disk7s1")) +
      image("/tmp/bosun_lower/case.dmg", entity("/dev/disk8")));
  EXPECT_EQ(DiskImageCleanup::leftoverDevices(list),
            (std::vector<std::string>{"/dev/disk4", "/dev/disk7s1"}));
}

TEST(DiskImageCleanup, UnreadableListingsGiveNoDevices) {
  EXPECT_TRUE(DiskImageCleanup::leftoverDevices("not a property list").empty());
  EXPECT_TRUE(DiskImageCleanup::leftoverDevices(
                  "<plist version=\"1.0\"><dict><key>images</key><string>x</string></dict></plist>")
                  .empty());
}

TEST(DiskImageCleanup, DetachesEachLeftoverOnceThroughTheToolRoot) {
  FakeToolRoot root;
  root.answer(
      infoList(image("/tmp/Halyard_DMG_1/rw.dmg", entity("/dev/disk4s1") + entity("/dev/disk4")) +
               image("/Volumes/Mine.dmg", entity("/dev/disk9")) +
               image("/tmp/Bosun_2/b.dmg", entity("/dev/disk5"))));
  DiskImageCleanup::detachLeftoversSynchronously();
  EXPECT_EQ(root.calls(), "info -plist\n"
                          "detach /dev/disk4 -force -quiet\n"
                          "detach /dev/disk5 -force -quiet\n");
}

TEST(DiskImageCleanup, WithoutLeftoversOrWithAFailingToolOnlyTheListingRuns) {
  {
    FakeToolRoot root;
    root.answer(infoList(image("/Volumes/Mine.dmg", entity("/dev/disk9"))));
    DiskImageCleanup::detachLeftoversSynchronously();
    EXPECT_EQ(root.calls(), "info -plist\n");
  }
  FakeToolRoot root;
  root.answer(infoList(image("/tmp/Bosun_1/a.dmg", entity("/dev/disk4"))));
  root.set("hdiutil-status", "1");
  DiskImageCleanup::detachLeftoversSynchronously();
  EXPECT_EQ(root.calls(), "info -plist\n");
}

TEST(DiskImageCleanup, ItsToolsAreNotStoppedByTheCancellationTheyServe) {
  FakeToolRoot root;
  root.answer(infoList(image("/tmp/Halyard_DMG_1/rw.dmg", entity("/dev/disk4"))));
  root.set("hdiutil-delay", "0.2");
  halyard::ProcessRegistry::shared().beginCancelling();
  DiskImageCleanup::detachLeftoversSynchronously();
  halyard::ProcessRegistry::shared().endCancelling();
  EXPECT_EQ(root.calls(), "info -plist\ndetach /dev/disk4 -force -quiet\n");
}

TEST(SignalHandler, CancellationRunsEachRegisteredCleanupOnceAndPrintsBothLines) {
  FakeToolRoot root;
  root.answer(infoList(image("/tmp/Bosun_1/a.dmg", entity("/dev/disk3"))));
  SignalHandler handler;
  int first = 0;
  int removed = 0;
  int afterFailure = 0;
  handler.addCleanup([&] { ++first; });
  const auto identifier = handler.addCleanup([&] { ++removed; });
  handler.addCleanup([] { throw std::runtime_error("cannot remove"); });
  handler.addCleanup([&] { ++afterFailure; });
  handler.removeCleanup(identifier);
  handler.removeCleanup("not-registered");

  CapturedConsole captured;
  handler.runCancellation(captured.console);
  EXPECT_TRUE(handler.isHandling());
  EXPECT_TRUE(halyard::ProcessRegistry::shared().isCancelling());
  // The actions were taken out: a second pass runs none of them again.
  handler.runCancellation(captured.console);
  halyard::ProcessRegistry::shared().endCancelling();

  EXPECT_EQ(first, 1);
  EXPECT_EQ(removed, 0);
  EXPECT_EQ(afterFailure, 1);
  const auto errorText = captured.error();
  const auto cancelling = errorText.find("Cancelling…");
  const auto cancelled = errorText.find("Cancelled.");
  ASSERT_NE(cancelling, std::string::npos) << errorText;
  ASSERT_NE(cancelled, std::string::npos) << errorText;
  EXPECT_LT(cancelling, cancelled);
  EXPECT_EQ(captured.output(), "");
  EXPECT_NE(root.calls().find("detach /dev/disk3 -force -quiet\n"), std::string::npos);
}

// The whole sequence in a real process: a front-end program waits for a long tool, the signal
// arrives, and the process ends with 130 after both lines, the tool gone and the clean-up done.
class InterruptedRun : public ::testing::TestWithParam<int> {};

TEST_P(InterruptedRun, EndsWith130AfterCleaningUp) {
  FakeToolRoot root;
  root.answer(
      infoList(image("/tmp/Halyard_DMG_9/rw.dmg", entity("/dev/disk6s1") + entity("/dev/disk6")) +
               image("/Volumes/Users.dmg", entity("/dev/disk2"))));
  const auto workspace = root.path() / "Bosun_Workspace";
  fs::create_directories(workspace / "inside");
  const auto pidFile = root.path() / "tool.pid";

  // Under the tool root, as every tool the program runs (the program itself too, for this run).
  fs::create_symlink(fs::path(TEST_HELPER_DIR) / "tool_helper", root.bin() / "longtool");
  fs::create_symlink(fs::path(TEST_HELPER_DIR) / "cancel_scenario", root.bin() / "scenario");

  halyard::ProcessRunRequest request;
  request.executable = "/usr/bin/scenario";
  request.arguments = {workspace.string(), "/usr/bin/longtool", pidFile.string()};
  request.timeout = 60;
  halyard::ToolProcessResult result;
  std::thread runner([&] { result = halyard::ProcessRunner::run(request); });

  // Wait until the long tool runs, then interrupt the program (the tool's parent).
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((!fs::exists(pidFile) || fs::file_size(pidFile) == 0) &&
         std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const auto running = halyard::ProcessRegistry::shared().runningProcesses();
  for (const auto& program : running)
    program->sendSignal(GetParam());
  runner.join();
  ASSERT_EQ(running.size(), 1u);
  ASSERT_TRUE(fs::exists(pidFile)) << "the tool never started: " << result.standardError;
  const pid_t toolPid = static_cast<pid_t>(std::stoi(readFile(pidFile)));

  EXPECT_EQ(result.status, 130) << result.standardError;
  // The verbose log showed the tool's command line through the installed hook.
  EXPECT_NE(result.standardError.find("$ " + (root.bin() / "longtool").string() + " pidfile "),
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
  EXPECT_EQ(root.calls(), "info -plist\ndetach /dev/disk6 -force -quiet\n");
}

INSTANTIATE_TEST_SUITE_P(SignalHandler, InterruptedRun, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) {
                           return info.param == SIGINT ? "SIGINT" : "SIGTERM";
                         });
