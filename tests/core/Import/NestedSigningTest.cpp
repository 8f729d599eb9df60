#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <thread>

#include "core/Import/BundleWalk.hpp"
#include "core/Import/ImportPreparationEngine.hpp"
#include "core/Import/ImportStandIns.hpp"
#include "core/Process/ProcessRegistry.hpp"

namespace fs = std::filesystem;
using namespace halyard;
using Strings = std::vector<std::string>;

// Nested code signed several items at a time, watched through a tool root whose codesign logs
// when each signature of a nested item starts and ends.
class NestedSigningTest : public halyard::testing::ImportStandIns {
protected:
  void TearDown() override {
    for (const char* knob : {"MACSIM_CODESIGN_DELAY", "MACSIM_CODESIGN_WHEN"})
      ::unsetenv(knob);
  }

  // codesign logs "start PATH" before and "end PATH" after each signature of PATH; `body` runs
  // in between, by default the stand-in codesign.
  void recordSigning(const std::string& body = "\"$real\" \"$@\"") {
    const std::string log = "'" + this->log().string() + "'";
    scriptCodesign("case \"$1\" in --force) ;; *) exec \"$real\" \"$@\";; esac\n"
                   "for a; do item=$a; done\nprintf 'start %s\\n' \"$item\" >> " +
                   log + "\n" + body + "\nstatus=$?\nprintf 'end %s\\n' \"$item\" >> " + log +
                   "\nexit $status");
  }
  fs::path log() const { return standIns.home() / "signing.log"; }

  // The log's lines ("start PATH", "end PATH"), each path from the app's folder on.
  Strings events() const {
    Strings events;
    std::ifstream stream(log());
    for (std::string line; std::getline(stream, line);)
      events.push_back(line.substr(0, line.find(' ') + 1) +
                       line.substr(line.rfind('/', line.find(".app")) + 1));
    return events;
  }
  static std::string item(const std::string& event) { return event.substr(event.find(' ') + 1); }
  static Strings started(const Strings& events) {
    Strings items;
    for (const auto& event : events)
      if (event.rfind("start ", 0) == 0) items.push_back(item(event));
    return items;
  }

  // Checks that no item starts before everything inside it has ended; returns the largest
  // number of signatures under way at once.
  static size_t checkInsideOut(const Strings& events) {
    std::set<std::string> ended, running;
    size_t most = 0;
    for (const auto& event : events) {
      if (event.rfind("end ", 0) == 0) {
        running.erase(item(event));
        ended.insert(item(event));
        continue;
      }
      for (const auto& inner : started(events))
        EXPECT_TRUE(!BundleWalk::isInside(inner, item(event)) || ended.count(inner))
            << inner << " not ended when " << event;
      running.insert(item(event));
      most = std::max(most, running.size());
    }
    return most;
  }
};

TEST_F(NestedSigningTest, ItemsRunSideBySideButNeverBeforeWhatIsInsideThem) {
  const auto app = electronApp("Beacon");
  for (int index = 0; index < 4; ++index)
    machO(app / "Contents/Frameworks/Electron Framework.framework/Versions/A/Libraries" /
              ("lib" + std::to_string(index) + ".dylib"),
          "dylib");
  signAdHoc(app);
  recordSigning();
  ::setenv("MACSIM_CODESIGN_DELAY", "0.2", 1);
  ::setenv("MACSIM_CODESIGN_WHEN", "--timestamp", 1);

  for (const size_t jobs : {size_t{3}, size_t{2}}) {
    std::filesystem::remove(log());
    ImportPreparationEngine engine;
    engine.signingJobs = jobs;
    const auto result = engine.prepare(app, developerID);
    const auto events = this->events();
    EXPECT_EQ(checkInsideOut(events), jobs);
    // Every item once, the app last.
    auto items = started(events);
    ASSERT_EQ(items.size(), result.preparedPaths.size() + 1);
    EXPECT_EQ(items.back(), "Beacon.app");
    std::set<std::string> distinct(items.begin(), items.end());
    EXPECT_EQ(distinct.size(), items.size());
    // The signatures hold together, every piece of nested code included.
    EXPECT_NO_THROW(
        standIns.toolOK("/usr/bin/codesign", {"--verify", "--deep", "--strict", "--verbose=4",
                                              result.preparedAppURL.string()}));
  }
}

TEST_F(NestedSigningTest, AFailureStopsNewItemsAndTheEarliestFailureInSigningOrderIsReported) {
  const auto app = this->app("Mixed");
  machO(app / "Contents/Frameworks/libslow.dylib", "dylib");
  machO(app / "Contents/Helpers/bad");
  machO(app / "Contents/Helpers/worse");
  // The library fails late (after a retry), the helper at once; the main executable comes last
  // in signing order and never starts.
  recordSigning("case \"$item\" in\n"
                "  */libslow.dylib) sleep 0.5; echo 'slow refused' >&2; false;;\n"
                "  */Helpers/*) echo \"$item refused\" >&2; false;;\n"
                "  *) true;;\n"
                "esac");
  ImportPreparationEngine engine;
  engine.signingJobs = 2;
  std::string message;
  try {
    engine.prepare(app, developerID);
  } catch (const ImportPreparationEngineError& error) {
    EXPECT_EQ(error.errorCase(), ImportPreparationEngineError::Case::signingFailed);
    message = error.what();
  }
  EXPECT_NE(message.find("/Mixed.app/Contents/Frameworks/libslow.dylib: slow refused"),
            std::string::npos)
      << message;
  const auto events = this->events();
  const auto items = started(events);
  // Started: the library (then its retry) and the first helper; nothing after the failure.
  EXPECT_EQ(std::set<std::string>(items.begin(), items.end()),
            (std::set<std::string>{"Mixed.app/Contents/Frameworks/libslow.dylib",
                                   "Mixed.app/Contents/Helpers/bad"}));
  // What was running finished before the preparation gave up.
  EXPECT_EQ(events.size(), 2 * items.size());
  EXPECT_EQ(events.back().rfind("end ", 0), 0u);
}

TEST_F(NestedSigningTest, CancellationStopsEveryRunningSignatureAtOnce) {
  const auto app = electronApp("Beacon");
  recordSigning("exec sleep 60");
  ImportPreparationEngine engine;
  engine.signingJobs = 3;
  auto preparation = std::async(std::launch::async, [&] { engine.prepare(app, developerID); });
  auto& registry = ProcessRegistry::shared();
  // Wait (bounded, so a fault cannot hang the test) until three signatures are under way and
  // each has logged its start (a child is registered before its script gets to run).
  for (int tries = 0;
       tries < 600 && (registry.runningProcesses().size() < 3 || started(events()).size() < 3);
       ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(registry.runningProcesses().size(), 3u);
  registry.beginCancelling();
  EXPECT_THROW(preparation.get(), ImportPreparationEngineError);
  registry.endCancelling();
  EXPECT_TRUE(registry.runningProcesses().empty());
  // Only the three that ran (some perhaps retried, and stopped at launch); none ended normally,
  // none started after them.
  const auto events = this->events();
  const auto items = started(events);
  EXPECT_EQ(items.size(), events.size());
  EXPECT_EQ(std::set<std::string>(items.begin(), items.end()).size(), 3u);
}
