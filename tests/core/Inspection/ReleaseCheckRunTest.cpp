#include <gtest/gtest.h>

#include <fstream>

#include "core/Inspection/ReleaseCheck.hpp"
#include "support/NoteCapture.hpp"
#include "support/StandInRoot.hpp"

using namespace halyard;
using Status = ReleaseCheckStatus;

namespace {} // namespace

// The checks against the stand-in tools. The verdict for each kind of file is checked end to end
// (VerifyE2E); here, what only the library shows.
TEST(ReleaseCheckRun, ReleasedAppPassesAndTheResultIsNoted) {
  bosun::testing::StandInRootInForce stand;
  stand.addReleaseSetUp();
  const auto app = stand.makeReleasedApp("My App");
  bosun::testing::NoteCapture capture;
  const auto result = ReleaseCheck::run(app.string() + "/", ReleaseCheck::Kind::app);
  EXPECT_EQ(result, (ReleaseCheckResult{"My App.app", Status::passed(), Status::passed(),
                                        Status::passed()}));
  EXPECT_EQ(capture.notes, std::vector<std::string>{"Release check: My App.app - Signing: passed, "
                                                    "Notarization: passed, Stapling: passed"});
}

TEST(ReleaseCheckRun, EveryCheckRunsEvenWhenToolsAreMissingOrHang) {
  bosun::testing::StandInRootInForce stand;
  const auto image = stand.work() / "X.dmg";
  std::ofstream(image) << "not signed";
  stand.set("MACSIM_SPCTL_DELAY", "60");
  std::filesystem::remove(stand.root() / "usr/bin/xcrun");
  const auto result = ReleaseCheck::run(image, ReleaseCheck::Kind::dmg, 1);
  EXPECT_EQ(result.signing, Status::failed("Not signed"));
  EXPECT_EQ(result.notarization,
            Status::failed("spctl did not finish within 1 seconds and was stopped"));
  ASSERT_FALSE(result.stapling.isPassed());
  EXPECT_TRUE(result.stapling.reason()->starts_with("Could not run stapler"))
      << *result.stapling.reason();
}
