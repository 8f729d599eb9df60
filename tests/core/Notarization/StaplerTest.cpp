// stapler's command lines and every answer Stapler reads: the stand-in stapler, which keeps
// tickets only for what the stand-in notary service accepted, and the wordings it does not make.
#include <gtest/gtest.h>

#include "core/Notarization/Stapler.hpp"
#include "support/StandInRoot.hpp"

using namespace halyard;
using Strings = std::vector<std::string>;

TEST(StaplerTest, CommandLines) {
  Strings line;
  const ToolRun record = [&line](const char* executable, const Strings& arguments) {
    line = {executable};
    line.insert(line.end(), arguments.begin(), arguments.end());
    return ToolProcessResult{};
  };
  Stapler::validate("/out/My App.dmg", record);
  EXPECT_EQ(line, (Strings{"/usr/bin/xcrun", "stapler", "validate", "/out/My App.dmg"}));
  Stapler::staple("/out/x.pkg", record);
  EXPECT_EQ(line, (Strings{"/usr/bin/xcrun", "stapler", "staple", "/out/x.pkg"}));
}

TEST(StaplerTest, TicketsOfTheStandInService) {
  bosun::testing::StandInRootInForce stand;
  stand.addReleaseSetUp();
  const ToolRun run{AppleTools::Runner::shared, AppleTools::quickQueryLimit};

  const auto released = Stapler::validate(stand.makeReleasedApp("Done"), run);
  EXPECT_TRUE(released.validated()) << released.text();
  EXPECT_FALSE(released.noTicket());

  const auto app = stand.makeApp("Signed");
  stand.signApp(app);
  const auto bare = Stapler::validate(app, run);
  EXPECT_EQ(bare.run.status, 65);
  EXPECT_FALSE(bare.validated());
  EXPECT_TRUE(bare.noTicket()) << bare.text();
  const auto unknown = Stapler::staple(app, run);
  EXPECT_FALSE(unknown.stapled());
  EXPECT_TRUE(unknown.recordNotFound()) << unknown.run.combined();
  EXPECT_FALSE(unknown.networkFailure());

  stand.notarize(app);
  stand.set("MACSIM_OFFLINE", "1");
  const auto offline = Stapler::staple(app, run);
  EXPECT_FALSE(offline.stapled());
  EXPECT_TRUE(offline.networkFailure()) << offline.run.combined();
  EXPECT_FALSE(offline.recordNotFound());
  stand.set("MACSIM_OFFLINE", "");
  EXPECT_TRUE(Stapler::staple(app, run).stapled());
  EXPECT_TRUE(Stapler::validate(app, run).validated());
}

TEST(StaplerTest, WordingsInAnyLetterCaseOnEitherStream) {
  const struct {
    ToolProcessResult run;
    bool validated;
    bool noTicket;
  } validations[] = {
      {{0, "Processing: /o/X.dmg\nThe validate action WORKED!\n", ""}, true, false},
      // A runner that merges nothing may find the words on standard error.
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
