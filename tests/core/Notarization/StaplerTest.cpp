// Stapler against the stand-in stapler (which refuses other command lines and keeps tickets only
// for what the stand-in service accepted), and the wordings the stand-in does not make.
#include <gtest/gtest.h>

#include "core/Notarization/Stapler.hpp"
#include "support/StandInRoot.hpp"

using namespace halyard;

TEST(StaplerTest, TicketsOfTheStandInService) {
  bosun::testing::StandInRootInForce stand;
  stand.addReleaseSetUp();
  const ToolRun run{AppleTools::Runner::shared, AppleTools::quickQueryLimit};

  const auto app = stand.makeApp("Signed");
  stand.signApp(app);
  const auto bare = Stapler::validate(app, run);
  EXPECT_EQ(bare.run.status, 65);
  EXPECT_TRUE(bare.noTicket()) << bare.text();
  const auto unknown = Stapler::staple(app, run);
  EXPECT_FALSE(unknown.stapled());
  EXPECT_TRUE(unknown.recordNotFound()) << unknown.run.combined();
  EXPECT_FALSE(unknown.networkFailure());

  stand.notarize(app);
  EXPECT_TRUE(Stapler::staple(app, run).stapled());
  const auto stapled = Stapler::validate(app, run);
  EXPECT_TRUE(stapled.validated()) << stapled.text();
  EXPECT_FALSE(stapled.noTicket());
}

TEST(StaplerTest, WordingsInAnyLetterCaseOnEitherStream) {
  const struct {
    ToolProcessResult run;
    bool validated;
    bool noTicket;
  } validations[] = {
      {{0, "Processing: /o/X.dmg\nThe validate action WORKED!\n", ""}, true, false},
      {{0, "", "The validate action worked!"}, true, false},
      {{0, "Processing: /o/X.dmg\n", ""}, false, false},
      // The words alone are not enough: stapler must exit 0.
      {{65, "X.dmg does not have a ticket stapled to it. It worked before.", ""}, false, true},
  };
  for (const auto& c : validations) {
    const Stapler::Validation validation{c.run};
    EXPECT_EQ(validation.validated(), c.validated) << c.run.combined();
    EXPECT_EQ(validation.noTicket(), c.noTicket) << c.run.combined();
  }

  const Stapler::Stapling missing{{65, "",
                                   "CloudKit query for X.dmg (2/0f3a) failed due to \"RECORD NOT "
                                   "FOUND\".\nThe staple and validate action failed! Error 65."}};
  EXPECT_TRUE(missing.recordNotFound());
  EXPECT_FALSE(missing.networkFailure());
  for (const char* text :
       {"The Internet connection appears to be offline.",
        "Error Domain=NSURLErrorDomain Code=-1001", "The network connection was lost.",
        "The request TIMED OUT.", "Could not connect to the server.",
        "A server with the specified hostname cannot find host"})
    EXPECT_TRUE(Stapler::isNetworkFailure(text)) << text;
}
