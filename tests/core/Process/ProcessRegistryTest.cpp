// Cancellation through the registry, the logging hooks and the tool-root mapping of runs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "ProcessTestSupport.hpp"
#include "core/Process/ChildProcess.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Process/ToolProcess.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
using namespace halyard::testing;
namespace fs = std::filesystem;

namespace {

// Leaves the shared registry and the hooks as it found them, whatever the test did.
class ProcessRegistryTest : public ::testing::Test {
protected:
  void TearDown() override {
    ProcessRegistry::shared().endCancelling();
    HalyardCoreLog::processLaunched = nullptr;
    HalyardCoreLog::processExited = nullptr;
    unsetenv("BOSUN_TOOL_ROOT");
  }
};

} // namespace

TEST_F(ProcessRegistryTest, CancellingTerminatesRunningChildrenAndEveryLaterLaunch) {
  auto& registry = ProcessRegistry::shared();
  ToolProcessResult running;
  std::thread worker([&] { running = ToolProcess::run(toolHelper(), {"sleep", "20"}, 60); });
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (registry.runningProcesses().empty() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(registry.runningProcesses().size(), 1u);

  const auto start = std::chrono::steady_clock::now();
  registry.beginCancelling();
  EXPECT_TRUE(registry.isCancelling());
  worker.join();
  EXPECT_EQ(running.status, 128 + SIGTERM);

  // Launched after the cancellation began: stopped right after its launch.
  const auto late = ToolProcess::run(toolHelper(), {"sleep", "20"}, 60);
  EXPECT_EQ(late.status, 128 + SIGTERM);
  EXPECT_LT(secondsSince(start), 5.0);

  // Children leave the registry once they are reaped.
  EXPECT_TRUE(registry.runningProcesses().empty());
  registry.endCancelling();
  EXPECT_FALSE(registry.isCancelling());
  EXPECT_EQ(ToolProcess::run(toolHelper(), {"exit", "0"}, 10).status, 0);
}

TEST_F(ProcessRegistryTest, HooksSeeEveryLaunchAndExitWithTheMappedCommandLine) {
  TemporaryFolder root("Halyard_ToolRoot_");
  fs::create_directories(root.path() / "usr/bin");
  fs::create_symlink(toolHelper(), root.path() / "usr/bin/faketool");
  setenv("BOSUN_TOOL_ROOT", root.path().c_str(), 1);

  std::mutex lock;
  std::vector<std::string> launched;
  int exited = 0;
  HalyardCoreLog::processLaunched = [&](const ChildProcess& process) {
    std::lock_guard guard(lock);
    launched.push_back("$ " + process.commandLine());
  };
  HalyardCoreLog::processExited = [&](const ChildProcess&) {
    std::lock_guard guard(lock);
    ++exited;
  };

  const auto result = ToolProcess::run("/usr/bin/faketool", {"out", "mapped", "exit", "2"}, 10);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.standardOutput, "mapped");
  std::lock_guard guard(lock);
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0], "$ " + (root.path() / "usr/bin/faketool").string() + " out mapped exit 2");
  EXPECT_EQ(exited, 1);
}
