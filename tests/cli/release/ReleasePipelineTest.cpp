#include <gtest/gtest.h>

#include <fstream>

#include "cli/release/ReleasePipeline.hpp"
#include "support/StandInRoot.hpp"

using bosun::AppTicketOutcome;
using bosun::ReleasePipeline;
using bosun::ReleasePlan;
using bosun::ReleaseSteps;
using bosun::testing::StandInRoot;
namespace fs = std::filesystem;

namespace {

// The app-bundle cases of a release, with the ticket look-up and the app notarization played
// by the test, over a stand-in Mac: which of them signs the app and which notarizes it.
class ReleasePipelineAppBundle : public ::testing::Test {
protected:
  bosun::testing::StandInRootInForce stand;
  fs::path release;

  void SetUp() override {
    stand.addReleaseSetUp();
    release = stand.makeReleaseFolder();
  }

  ReleasePlan plan() const {
    ReleasePlan plan;
    plan.project.folder = release;
    plan.project.appSource = release / "Sample.app";
    plan.artifactName = "Release.dmg";
    plan.outputURL = release / "Release.dmg";
    plan.sign = true;
    plan.identity = StandInRoot::application;
    plan.credentials = halyard::NotaryCredentials::keychainProfile(StandInRoot::profile);
    plan.arrow = "arrow.right";
    plan.overwrite = true;
    return plan;
  }
};

TEST_F(ReleasePipelineAppBundle, OnlyAMissingTicketWithoutSkippingLeadsToSigningAndNotarizing) {
  using Kind = AppTicketOutcome::Kind;
  struct Case {
    bool stapleApp, skipMissingTicket;
    Kind ticket;
    bool signsAndNotarizes;
  };
  const Case cases[] = {
      {true, false, Kind::stapled, false}, {true, false, Kind::alreadyStapled, false},
      {true, true, Kind::noTicket, false}, {true, true, Kind::failed, false},
      {true, false, Kind::noTicket, true}, {true, false, Kind::failed, true},
      {false, false, Kind::failed, true}, // --app-bundle notarize: no look-up at all
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(std::to_string(&test - cases));
    std::vector<fs::path> notarized;
    int lookUps = 0;
    ReleaseSteps steps;
    steps.stapleExistingTicket = [&](const fs::path&) {
      ++lookUps;
      return AppTicketOutcome{test.ticket, "no ticket"};
    };
    steps.notarizeApp = [&](const fs::path& app, const halyard::NotaryCredentials&,
                            const ReleaseSteps::AppSubmission&) { notarized.push_back(app); };
    ReleasePlan given = plan();
    given.stapleApp = test.stapleApp;
    given.notarizeApp = !test.stapleApp;
    given.skipMissingTicket = test.skipMissingTicket;

    const auto outcome = ReleasePipeline(steps).run(given);
    EXPECT_EQ(lookUps, test.stapleApp ? 1 : 0);
    ASSERT_EQ(notarized.size(), test.signsAndNotarizes ? 1u : 0u);
    ASSERT_TRUE(outcome.appCheck);
    EXPECT_EQ(outcome.appCheck->signing.isPassed(), test.signsAndNotarizes);
    if (test.signsAndNotarizes) {
      // The app notarized is the signed working copy in the run's workspace, never the user's.
      const auto inTemporary = fs::relative(notarized.front(), stand.temporary()).string();
      EXPECT_TRUE(inTemporary.starts_with("Bosun_")) << notarized.front();
    }
    EXPECT_TRUE(fs::is_empty(stand.temporary()));
  }
}

// What the dry run shows is what the run does: for each setting that changes the steps, the run
// goes through the plan's list, no step more, none skipped.
TEST_F(ReleasePipelineAppBundle, TheRunPerformsExactlyThePlansSteps) {
  struct Case {
    bosun::OutputKind format;
    bool sign, notarize, notarizeApp, stapleApp, deep, volumeIcon, license, feed;
  };
  using bosun::OutputKind;
  const Case cases[] = {
      {OutputKind::dmg, false, false, false, false, false, false, false, true},
      {OutputKind::dmg, true, false, false, false, true, true, true, false},
      {OutputKind::dmg, true, true, true, false, false, false, false, false},
      {OutputKind::dmg, true, true, false, true, false, false, true, false},
      {OutputKind::pkg, true, false, false, false, false, false, false, false},
      {OutputKind::pkg, true, true, false, false, false, false, true, true},
  };
  std::ofstream(release / "License.txt") << "You may use this app.\n";
  for (const auto& test : cases) {
    SCOPED_TRACE(std::to_string(&test - cases));
    ReleasePlan given = plan();
    given.format = test.format;
    given.artifactName = test.format == OutputKind::pkg ? "Release.pkg" : "Release.dmg";
    given.outputURL = release / given.artifactName;
    given.sign = test.sign;
    if (!test.sign) given.identity.reset();
    if (test.format == OutputKind::pkg) given.installerIdentity = StandInRoot::installer;
    given.notarize = test.notarize;
    given.notarizeApp = test.notarizeApp;
    given.stapleApp = test.stapleApp;
    given.deepVerify = test.deep;
    given.volumeIcon = test.volumeIcon;
    if (test.license) given.project.legalDocuments = {release / "License.txt"};
    if (test.feed) {
      given.appcast = release / "appcast.xml";
      given.downloadURL = "https://example.com/downloads/";
    }

    std::vector<std::string> performed;
    ReleaseSteps steps;
    steps.began = [&performed](const bosun::ReleaseStep& step) {
      performed.push_back(step.description);
    };
    steps.stapleExistingTicket = [](const fs::path&) {
      return AppTicketOutcome{AppTicketOutcome::Kind::noTicket, "no ticket"};
    };
    steps.notarizeApp = [](const fs::path&, const halyard::NotaryCredentials&,
                           const ReleaseSteps::AppSubmission&) {};
    ReleasePipeline(steps).run(given);
    EXPECT_EQ(performed, given.steps());
  }
}

TEST(ReleasePipelineProblems, OnlyRequiredChecksThatFailAreProblems) {
  const auto failed = halyard::ReleaseCheckStatus::failed("no");
  halyard::ReleaseCheckResult allFailed{"X", failed, failed, failed};
  struct Case {
    bosun::OutputKind format;
    bool sign, notarize, notarizeApp;
    std::optional<std::string> installerIdentity;
    std::vector<std::string> problems;
  };
  const Case cases[] = {
      {bosun::OutputKind::dmg, false, false, false, std::nullopt, {}},
      {bosun::OutputKind::dmg,
       true,
       false,
       false,
       std::nullopt,
       {"App signing: no", "DMG signing: no"}},
      {bosun::OutputKind::pkg, true, false, false, std::nullopt, {"App signing: no"}},
      {bosun::OutputKind::pkg,
       true,
       true,
       true,
       "I",
       {"App signing: no", "App notarization: no", "App stapling: no", "PKG signing: no",
        "PKG notarization: no", "PKG stapling: no"}},
  };
  for (const auto& test : cases) {
    ReleasePlan plan;
    plan.format = test.format;
    plan.sign = test.sign;
    plan.notarize = test.notarize;
    plan.notarizeApp = test.notarizeApp;
    plan.installerIdentity = test.installerIdentity;
    EXPECT_EQ(ReleasePipeline::problems(plan, allFailed, allFailed), test.problems);
  }
}

} // namespace
