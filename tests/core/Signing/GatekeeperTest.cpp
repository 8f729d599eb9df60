#include <gtest/gtest.h>

#include "core/Signing/Gatekeeper.hpp"
#include "support/StandInRoot.hpp"

using namespace halyard;
using Strings = std::vector<std::string>;
using Kind = Gatekeeper::Kind;

TEST(GatekeeperTest, CommandLinePerKindAndForm) {
  const struct {
    Kind kind;
    Gatekeeper::Form form;
    Strings arguments;
  } cases[] = {
      {Kind::execute, {}, {"--assess", "-vv", "--type", "execute", "/a/X"}},
      {Kind::open,
       {},
       {"--assess", "-vv", "--type", "open", "--context", "context:primary-signature", "/a/X"}},
      {Kind::install, {.verbosity = 3}, {"--assess", "-vvv", "--type", "install", "/a/X"}},
      {Kind::execute, {3, true}, {"-a", "-t", "exec", "-vvv", "/a/X"}},
      {Kind::open,
       {3, true},
       {"-a", "-t", "open", "-vvv", "--context", "context:primary-signature", "/a/X"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Gatekeeper::arguments(c.kind, "/a/X", c.form), c.arguments);
}

// The verdicts of the stand-in spctl, which answers from signature, ticket and notary records.
TEST(GatekeeperTest, AssessesThroughTheComponentsRunner) {
  bosun::testing::StandInRootInForce stand;
  stand.addReleaseSetUp();
  const ToolRun run{AppleTools::Runner::shared, AppleTools::quickQueryLimit};

  const auto released = Gatekeeper::assess(Kind::execute, stand.makeReleasedApp("Done"), run);
  EXPECT_TRUE(released.accepted());
  EXPECT_EQ(released.source, "Notarized Developer ID");
  EXPECT_TRUE(released.notarized());
  EXPECT_FALSE(released.rejected);

  const auto app = stand.makeApp("Signed");
  stand.signApp(app);
  const auto signedOnly = Gatekeeper::assess(Kind::execute, app, run);
  EXPECT_FALSE(signedOnly.accepted());
  EXPECT_EQ(signedOnly.run.status, 3);
  EXPECT_EQ(signedOnly.source, "Unnotarized Developer ID");
  EXPECT_TRUE(signedOnly.unnotarizedDeveloperID());
  EXPECT_FALSE(signedOnly.notarized());
  EXPECT_TRUE(signedOnly.rejected);
}

TEST(GatekeeperTest, ReadsTheSourceLineFromEitherStream) {
  // A merging runner delivers the verdict on standard output.
  const auto merged =
      Gatekeeper::read({0, "X.pkg: accepted\r\n  source=Notarized Developer ID \r\n", ""});
  EXPECT_EQ(merged.source, "Notarized Developer ID");
  EXPECT_TRUE(merged.notarized());
  EXPECT_EQ(Gatekeeper::read({0, "", "X.app: accepted\nsource=Developer ID\n"}).source,
            "Developer ID");
  const auto unsure = Gatekeeper::read({1, "", "X: resource=Notarized Developer ID"});
  EXPECT_EQ(unsure.source, std::nullopt);
  EXPECT_FALSE(unsure.notarized());
  EXPECT_FALSE(unsure.unnotarizedDeveloperID());
}
