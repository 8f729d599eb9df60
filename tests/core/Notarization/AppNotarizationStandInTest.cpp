// The app bundle notarizer, the ticket stapler and the bundle coordinator (rebuilding the DMG with
// the DMG builder) under the stand-in tools: what they leave is checked with the tools themselves
// (stapler validate, spctl), and the temporary directory must be empty afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/DMG/DMGBuilder.hpp"
#include "core/Notarization/AppBundleNotarizer.hpp"
#include "core/Notarization/AppBundleNotarizerError.hpp"
#include "core/Notarization/AppTicketStapler.hpp"
#include "core/Notarization/ArtifactNotarizationCoordinator.hpp"
#include "core/Notarization/BundleNotarizationCoordinator.hpp"
#include "core/Notarization/BundleNotarizationCoordinatorError.hpp"
#include "support/StandInRoot.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using bosun::testing::StandInRoot;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;
using Kind = AppTicketStapleOutcome::Kind;
using Case = BundleNotarizationCoordinatorError::Case;

class AppNotarizationStandInTest : public ::testing::Test {
protected:
  void SetUp() override {
    stand_.addReleaseSetUp();
    fs::create_directories(out());
  }
  void set(const std::string& name, const std::string& value) { stand_.set(name, value); }

  fs::path temporary() const { return stand_.temporary(); }
  fs::path out() const { return stand_.work() / "out"; }

  fs::path signedApp(const std::string& name) const {
    const auto app = stand_.makeApp(name);
    stand_.signApp(app);
    return app;
  }
  bool validates(const fs::path& file) const {
    return stand_.tool("/usr/bin/xcrun", {"stapler", "validate", file.string()}).exitedWith(0);
  }
  bool gatekeeperAccepts(const fs::path& app) const {
    return stand_.tool("/usr/sbin/spctl", {"-a", "-vv", "--type", "execute", app.string()})
        .exitedWith(0);
  }

  // Waits that only record what they were asked to wait.
  TicketPropagation quickPropagation(std::vector<double> waits) {
    TicketPropagation propagation;
    propagation.waits = std::move(waits);
    propagation.sleep = [this](double seconds) { slept_.push_back(seconds); };
    return propagation;
  }

  // The DMG of a release, made by the DMG builder and signed.
  fs::path buildDMG(const fs::path& app, const fs::path& destination) const {
    DMGBuildRequest request;
    request.dmgName = app.stem().string();
    request.arrowSymbol = "arrow.right";
    request.installerWindowSize = {960, 600};
    DMGBuilder::build(app, app.stem().string(), destination, request, LicenseAgreement::none(),
                      false, DMGStyling::finderLayoutFile, {});
    stand_.signFile(destination, StandInRoot::application);
    return destination;
  }

  bosun::testing::StandInRootInForce stand_;
  std::vector<std::string> progress_;
  std::vector<double> slept_;
  AppBundleNotarizer::Progress record = [this](const std::string& line) {
    progress_.push_back(line);
  };
};

TEST_F(AppNotarizationStandInTest, NotarizedAppIsStapledAndAcceptedByGatekeeper) {
  const auto app = signedApp("My App");
  // A trailing slash, as shells complete folder names, names the same app.
  AppBundleNotarizer().notarizeAndStaple(app.string() + "/", std::string(" bosun-tests\n"), record);
  // The submission's id is told as soon as the upload has it.
  EXPECT_THAT(progress_, ElementsAre("Creating notarization archive…",
                                     "Submitting application bundle for notarization…",
                                     MatchesRegex("Submitted to Apple's notary service "
                                                  "\\(submission [0-9a-f-]{36}\\)…"),
                                     "Stapling application bundle…"));
  EXPECT_TRUE(validates(app));
  EXPECT_TRUE(gatekeeperAccepts(app));
  EXPECT_THAT(stand_.toolOK("/usr/bin/xcrun",
                            {"notarytool", "history", "--keychain-profile", "bosun-tests"}),
              HasSubstr("name: My App.zip\n"));
  EXPECT_TRUE(fs::is_empty(temporary()));
}

TEST_F(AppNotarizationStandInTest, InvalidVerdictFailsWithTheNotarysWordsAndStaplesNothing) {
  const auto app = signedApp("Demo");
  set("MACSIM_NOTARY_VERDICT", "Invalid");
  try {
    AppBundleNotarizer().notarizeAndStaple(app, NotaryCredentials::keychainProfile("bosun-tests"),
                                           nullptr);
    ADD_FAILURE() << "an Invalid verdict was taken as acceptance";
  } catch (const AppBundleNotarizerError& error) {
    EXPECT_EQ(error.step(), "Notarizing the app");
    EXPECT_THAT(error.description(), HasSubstr("Notarizing the app failed: "));
    EXPECT_THAT(error.output(), HasSubstr("status: Invalid"));
  }

  // The coordinator reads the verdict the same way.
  const auto dmg = stand_.makeDMG("Demo", app);
  try {
    BundleNotarizationCoordinator({}, quickPropagation({1}))
        .run({app, dmg, "bosun-tests", true}, nullptr);
    ADD_FAILURE() << "the coordinator took an Invalid verdict as acceptance";
  } catch (const BundleNotarizationCoordinatorError& error) {
    EXPECT_EQ(error.errorCase(), Case::submitFailed);
    EXPECT_THAT(error.description(), HasSubstr("Notarization submission failed: "));
    EXPECT_THAT(error.text(), HasSubstr("status: Invalid"));
  }
  EXPECT_FALSE(validates(app));
  EXPECT_TRUE(fs::is_empty(temporary()));
}

TEST_F(AppNotarizationStandInTest, ExistingTicketsAreToldApartFromMissingOnesAndNetworkTrouble) {
  const auto stapled = stand_.makeReleasedApp("Stapled");
  const auto earlier = signedApp("Earlier");
  stand_.notarize(earlier);
  const auto unknown = signedApp("Unknown");
  const auto offline = signedApp("Offline");
  stand_.notarize(offline);

  EXPECT_EQ(AppTicketStapler::stapleExistingTicket(stapled),
            AppTicketStapleOutcome::alreadyStapled());
  EXPECT_EQ(AppTicketStapler::stapleExistingTicket(earlier), AppTicketStapleOutcome::stapled());
  EXPECT_TRUE(validates(earlier));

  const auto missing = AppTicketStapler::stapleExistingTicket(unknown);
  EXPECT_EQ(missing.kind, Kind::noTicket);
  EXPECT_THAT(missing.text, HasSubstr("Record not found"));

  set("MACSIM_OFFLINE", "1");
  const auto unreachable = AppTicketStapler::stapleExistingTicket(offline);
  EXPECT_EQ(unreachable.kind, Kind::failed);
  EXPECT_THAT(unreachable.text, HasSubstr("The Internet connection appears to be offline."));
  EXPECT_FALSE(unreachable.hasTicket());

  // A staple that reports success but leaves a ticket that does not validate stapled nothing.
  ::unsetenv("MACSIM_OFFLINE");
  set("MACSIM_MISMATCHED_TICKETS", "1");
  const auto mismatched = AppTicketStapler::stapleExistingTicket(offline);
  EXPECT_EQ(mismatched.kind, Kind::failed);
  EXPECT_THAT(mismatched.text, HasSubstr("does not match its signature"));
  ::unsetenv("MACSIM_MISMATCHED_TICKETS");

  // A staple that fails without a word is a missing ticket.
  set("MACSIM_STAPLER_FAIL", "65");
  set("MACSIM_STAPLER_WHEN", "staple");
  EXPECT_EQ(AppTicketStapler::stapleExistingTicket(unknown), AppTicketStapleOutcome::noTicket(""));
}

TEST(BundleValidationTest, TimeOutsAreNotedAndFailuresKeepBothTools) {
  const ToolProcessResult passed{0, "The validate action worked!\n", ""};
  const ToolProcessResult timedOut{-2, "", "Process timed out: /usr/sbin/spctl -a"};
  const ToolProcessResult rejected{3, "", "Demo.dmg: rejected\n"};
  EXPECT_EQ(BundleNotarizationCoordinator::validationOutput(true, passed, timedOut),
            std::string("The validate action worked!\n\nProcess timed out: /usr/sbin/spctl "
                        "-a\n\n") +
                BundleNotarizationCoordinator::appValidationTimeoutNote);
  EXPECT_EQ(BundleNotarizationCoordinator::validationOutput(false, {-2, "", ""}, {-2, "", ""}),
            BundleNotarizationCoordinator::dmgValidationTimeoutNote);
  EXPECT_EQ(BundleNotarizationCoordinator::validationOutput(false, passed, {0, "", "accepted"}),
            "The validate action worked!\n\naccepted");
  for (const auto& [app, check, description] :
       {std::tuple{false, rejected,
                   "Validation failed: The validate action worked!\n\nDemo.dmg: rejected"},
        std::tuple{true, ToolProcessResult{1, "", ""},
                   "Validation failed: The validate action worked!"}}) {
    try {
      BundleNotarizationCoordinator::validationOutput(app, passed, check);
      ADD_FAILURE() << "a failed check passed";
    } catch (const BundleNotarizationCoordinatorError& error) {
      EXPECT_EQ(error.description(), description);
    }
  }
  try {
    BundleNotarizationCoordinator::validationOutput(true, {65, "", ""}, {3, "", ""});
    ADD_FAILURE() << "a failed check passed";
  } catch (const BundleNotarizationCoordinatorError& error) {
    EXPECT_EQ(error.description(), "Validation failed: Application bundle validation failed.");
  }
}

TEST_F(AppNotarizationStandInTest, CoordinatorRebuildsTheDMGFromTheStapledApp) {
  const auto app = signedApp("My App");
  const auto dmg = out() / "My App.dmg";
  std::ofstream(dmg) << "previous build";
  fs::path destination;
  BundleNotarizationCoordinator coordinator(
      {[&](const fs::path& stapledApp, const fs::path& beside) {
        destination = beside;
        EXPECT_TRUE(validates(stapledApp)); // the app is stapled before the DMG is built
        return buildDMG(stapledApp, beside);
      }});
  const auto result =
      coordinator.run({app, dmg, NotaryCredentials::keychainProfile("bosun-tests"), true}, record);

  EXPECT_THAT(progress_,
              ElementsAre("Creating notarization archive...",
                          "Submitting application bundle for notarization…",
                          "Stapling application bundle…", "Validating stapled application bundle…",
                          "Building DMG from stapled application bundle…",
                          "Submitting DMG for notarization…", "Stapling DMG…",
                          "Validating stapled DMG…", "Notarization complete."));
  EXPECT_EQ(destination.parent_path(), out());
  EXPECT_TRUE(result.appWasNotarized && result.appWasStapled && result.dmgWasNotarized &&
              result.dmgWasStapled);
  ASSERT_TRUE(result.appValidationOutput && result.dmgValidationOutput);
  EXPECT_THAT(*result.appValidationOutput, HasSubstr("The validate action worked!"));
  EXPECT_THAT(*result.dmgValidationOutput, HasSubstr("The validate action worked!"));
  EXPECT_THAT(bosun::testing::sortedFileNames(out()), ElementsAre("My App.dmg"));
  EXPECT_TRUE(validates(dmg));
  EXPECT_TRUE(fs::is_empty(temporary()));
}

TEST_F(AppNotarizationStandInTest, FailedRebuildLeavesThePreviousDMGAsItWas) {
  const auto app = signedApp("My App");
  const auto dmg = out() / "My App.dmg";
  std::ofstream(dmg) << "previous build";
  const BundleNotarizationCoordinator::Config config{app, dmg, "bosun-tests", true};

  BundleNotarizationCoordinator throwing({[](const fs::path&, const fs::path& beside) -> fs::path {
    std::ofstream(beside) << "half a DMG";
    throw std::runtime_error("the disk is full");
  }});
  EXPECT_THROW(throwing.run(config, nullptr), std::runtime_error);

  BundleNotarizationCoordinator empty(
      {[](const fs::path&, const fs::path& beside) { return beside; }});
  try {
    empty.run(config, nullptr);
    ADD_FAILURE() << "a rebuild without a DMG succeeded";
  } catch (const BundleNotarizationCoordinatorError& error) {
    EXPECT_EQ(error.description(), "Halyard rebuilt the DMG from the stapled application bundle, "
                                   "but the new DMG file was not found afterward.");
  }
  EXPECT_EQ(bosun::testing::fileContents(dmg), "previous build");
  EXPECT_THAT(bosun::testing::sortedFileNames(out()), ElementsAre("My App.dmg"));
  EXPECT_TRUE(fs::is_empty(temporary()));
}

TEST_F(AppNotarizationStandInTest, DiscardingDuringTheSubmissionRemovesTheArchive) {
  set("MACSIM_NOTARYTOOL_DELAY", "2");
  const auto app = signedApp("Demo");
  BundleNotarizationCoordinator coordinator({});
  bool removedWhileRunning = false;
  std::thread canceller([&] {
    const auto archived = [&] {
      for (const auto& folder : fs::directory_iterator(temporary()))
        if (!fs::is_empty(folder.path())) return true;
      return false;
    };
    for (int i = 0; i < 500 && !archived(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    coordinator.discardTemporaryFiles();
    removedWhileRunning = fs::is_empty(temporary());
  });
  EXPECT_THROW(coordinator.run({app, out() / "Demo.dmg", "bosun-tests", true}, nullptr),
               BundleNotarizationCoordinatorError);
  canceller.join();
  EXPECT_TRUE(removedWhileRunning);
}

TEST_F(AppNotarizationStandInTest, StapleAfterAcceptanceWaitsForTheTicketThenGivesUp) {
  set("MACSIM_TICKET_PROPAGATION", "2");
  const auto app = signedApp("Fresh");
  AppBundleNotarizer(quickPropagation({10, 20, 40})).notarizeAndStaple(app, "bosun-tests", record);
  EXPECT_THAT(slept_, ElementsAre(10, 20));
  EXPECT_THAT(progress_,
              ElementsAre("Creating notarization archive…",
                          "Submitting application bundle for notarization…",
                          StartsWith("Submitted"), "Stapling application bundle…",
                          "Apple's ticket is not available yet; stapling again in 10 seconds "
                          "(retry 1 of 3)…",
                          "Apple's ticket is not available yet; stapling again in 20 seconds "
                          "(retry 2 of 3)…"));
  EXPECT_TRUE(validates(app));

  set("MACSIM_TICKET_PROPAGATION", "5");
  slept_.clear();
  const auto slow = signedApp("Slow");
  try {
    AppBundleNotarizer(quickPropagation({1, 2})).notarizeAndStaple(slow, "bosun-tests", nullptr);
    ADD_FAILURE() << "stapling without a ticket succeeded";
  } catch (const AppBundleNotarizerError& error) {
    EXPECT_EQ(error.step(), "Stapling the app");
    EXPECT_THAT(error.output(), HasSubstr("Record not found"));
  }
  EXPECT_THAT(slept_, ElementsAre(1, 2));
  EXPECT_FALSE(validates(slow));

  // A DMG waits for its ticket the same way.
  set("MACSIM_TICKET_PROPAGATION", "1");
  slept_.clear();
  const auto dmg = stand_.makeDMG("Fresh", app);
  ArtifactNotarizationCoordinator(quickPropagation({5}))
      .run({dmg, std::nullopt, "bosun-tests", ArtifactKind::dmg}, nullptr);
  EXPECT_THAT(slept_, ElementsAre(5));
  EXPECT_TRUE(validates(dmg));
  EXPECT_TRUE(fs::is_empty(temporary()));
}

} // namespace
} // namespace halyard
