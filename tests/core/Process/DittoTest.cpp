// ditto's three uses under the stand-in tools: what each makes, and how a failure is reported.
#include "core/Process/Ditto.hpp"

#include <gtest/gtest.h>

#include "support/StandInRoot.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using bosun::testing::StandInRoot;

// A signed app keeps its seal through a copy and through an archive unpacked again, and the
// archive holds the bundle itself, not only its contents.
TEST(DittoTest, CopiesAndArchivesKeepTheBundleWhole) {
  const bosun::testing::StandInRootInForce stand;
  stand.addIdentity(StandInRoot::application);
  const fs::path app = stand.makeApp("Demo", {.nested = true});
  stand.signApp(app, StandInRoot::application, {}, true);
  const Ditto ditto(AppleTools::Runner::shared, 60);
  ditto.copy(app, stand.work() / "copy/Demo.app");
  ditto.archive(app, stand.work() / "Demo.zip");
  ditto.extract(stand.work() / "Demo.zip", stand.work() / "unpacked");
  for (const char* copy : {"copy/Demo.app", "unpacked/Demo.app"})
    EXPECT_TRUE(stand.tool("codesign", {"--verify", (stand.work() / copy).string()}).exitedWith(0))
        << copy;
}

// A failure is the CoreCommandError of the same run, with the whole result kept.
TEST(DittoTest, FailuresKeepTheToolsWordsAndTellTimeOuts) {
  bosun::testing::StandInRootInForce stand;
  const auto failure = [&](double limit, const fs::path& source) {
    try {
      Ditto(AppleTools::Runner::shared, limit).copy(source, stand.work() / "copy");
    } catch (const DittoError& error) {
      return error;
    }
    ADD_FAILURE() << "the copy succeeded";
    return DittoError({});
  };
  const fs::path absent = stand.work() / "Absent.app";
  const DittoError missing = failure(60, absent);
  EXPECT_EQ(missing.domain(), CoreCommandError::domainName);
  EXPECT_EQ(missing.code(), 1);
  EXPECT_EQ(missing.description(), "ditto: " + absent.string() + ": No such file or directory");
  EXPECT_EQ(missing.result().standardError, missing.description() + "\n");
  EXPECT_FALSE(missing.timedOut());

  stand.set("MACSIM_DITTO_DELAY", "30");
  const DittoError late = failure(0.2, stand.makeApp("Demo"));
  EXPECT_TRUE(late.timedOut());
  EXPECT_EQ(late.code(), CoreCommandError::timeoutCode);
  EXPECT_EQ(late.description(), "The process took too long and was stopped.");
}

} // namespace
} // namespace halyard
