// Uploading without waiting and asking for the verdict on a schedule, against the stand-in
// notary service with its knobs (processing time, failing status queries, no network).
#include <gtest/gtest.h>

#include "core/Notarization/NotaryLog.hpp"
#include "core/Notarization/NotaryPolling.hpp"
#include "core/Notarization/NotaryPollingError.hpp"
#include "core/Support/SHA256.hpp"
#include "support/StandInRoot.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using bosun::testing::StandInRoot;
using Case = NotaryPollingError::Case;

// The log's JSON as notarytool prints it (abridged), and what is not one.
TEST(NotaryPollingTest, TheLogGivesTheDigestAndTheIssues) {
  const auto log = NotaryLog::parse(R"({
    "jobId": "2efe2717-52ef-43a5-96dc-0797e4ca1041",
    "status": "Invalid",
    "sha256": " 5A1F0C ",
    "issues": [
      {"severity": "error", "path": "Sample.dmg/Sample.app/Contents/MacOS/Sample",
       "message": "The binary is not signed with a valid Developer ID certificate."},
      {"severity": "error", "message": "The signature does not include a secure timestamp."},
      "not an issue",
      {"path": 7, "message": null}
    ]
  })");
  ASSERT_TRUE(log);
  EXPECT_EQ(log->sha256, "5a1f0c");
  ASSERT_EQ(log->issues.size(), 3u);
  EXPECT_EQ(log->issues[0].path, "Sample.dmg/Sample.app/Contents/MacOS/Sample");
  EXPECT_EQ(log->issues[0].message,
            "The binary is not signed with a valid Developer ID certificate.");
  EXPECT_EQ(log->issues[1].path, "");
  EXPECT_EQ(log->issues[2].path, "");
  EXPECT_EQ(log->issues[2].message, "");
  EXPECT_FALSE(NotaryLog::parse("Error: HTTP status code: 404"));
  EXPECT_TRUE(NotaryLog::parse(R"({"issues": null})")->issues.empty());
}

class NotaryPollingStandInTest : public ::testing::Test {
protected:
  void SetUp() override {
    stand_.addReleaseSetUp();
    const auto app = stand_.makeApp("Demo");
    stand_.signApp(app);
    archive_ = stand_.work() / "Demo.zip";
    stand_.toolOK("/usr/bin/ditto", {"-c", "-k", "--keepParent", app.string(), archive_.string()});
    polling_.waits = {0.05};
  }

  template <class Step> NotaryPollingError thrownBy(Step step) {
    try {
      step();
    } catch (const NotaryPollingError& error) {
      return error;
    }
    ADD_FAILURE() << "no error was thrown";
    return NotaryPollingError(Case::uploadFailed, "");
  }

  bosun::testing::StandInRootInForce stand_;
  fs::path archive_;
  NotaryPolling polling_;
  const NotaryCredentials credentials_ = NotaryCredentials::keychainProfile(StandInRoot::profile);
};

TEST_F(NotaryPollingStandInTest, TheVerdictComesThroughBlipsButNotPastTheBound) {
  stand_.set("MACSIM_NOTARY_PROCESSING", "0.5");
  const std::string id = polling_.upload(archive_, credentials_);
  ASSERT_FALSE(id.empty());
  // Four failed queries in a row are ridden out.
  stand_.set("MACSIM_NOTARY_INFO_FAILS", "4");
  const auto verdict = polling_.await(id, credentials_, 30);
  EXPECT_TRUE(verdict.accepted());
  EXPECT_EQ(verdict.output, "Processing complete\n  id: " + id + "\n  status: Accepted");
  EXPECT_EQ(polling_.uploadedDigest(id, credentials_), SHA256::hexDigestOfFile(archive_));

  // Five in a row end the wait with the last error; the stand-in has counted four so far.
  stand_.set("MACSIM_NOTARY_INFO_FAILS", "9");
  auto error = thrownBy([&] { polling_.await(id, credentials_, 30); });
  EXPECT_EQ(error.errorCase(), Case::queryFailed);
  EXPECT_EQ(error.text(), "Error: Error Domain=NSURLErrorDomain Code=-1005 \"The network "
                          "connection was lost.\"");
  EXPECT_EQ(error.submissionID(), id);
  stand_.set("MACSIM_NOTARY_INFO_FAILS", "");

  // Apple takes longer than the bound: a time-out naming the submission.
  stand_.set("MACSIM_NOTARY_PROCESSING", "60");
  const std::string slow = polling_.upload(archive_, credentials_);
  EXPECT_EQ(polling_.uploadedDigest(slow, credentials_), std::nullopt);
  error = thrownBy([&] { polling_.await(slow, credentials_, 0.3); });
  EXPECT_EQ(error.errorCase(), Case::timedOut);
  EXPECT_EQ(error.text(), "Timed out while waiting for Apple notarization to finish.");
  EXPECT_EQ(error.submissionID(), slow);

  // An id the service does not know is no passing trouble.
  error =
      thrownBy([&] { polling_.await("00000000-0000-0000-0000-000000000000", credentials_, 30); });
  EXPECT_EQ(error.errorCase(), Case::queryFailed);

  // Without a network nothing is uploaded, and notarytool's words say why.
  stand_.set("MACSIM_OFFLINE", "1");
  error = thrownBy([&] { polling_.upload(archive_, credentials_); });
  EXPECT_EQ(error.errorCase(), Case::uploadFailed);
  EXPECT_NE(error.text().find("The Internet connection appears to be offline."), std::string::npos)
      << error.text();
}

} // namespace
} // namespace halyard
