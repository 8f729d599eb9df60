#include <gtest/gtest.h>

#include "StandInRoot.hpp"

using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
using nlohmann::json;

namespace {

class VerifyE2E : public ::testing::Test {
protected:
  std::optional<StandInRoot> root;
  StandInRoot* stand = nullptr;

  void SetUp() override {
    try {
      stand = &root.emplace();
    } catch (const std::runtime_error& error) {
      GTEST_SKIP() << "no stand-in tools in this build: " << error.what();
    }
    stand->addReleaseSetUp();
  }

  // The one "summary" event of a JSON run; everything on standard output must be JSON lines.
  static json summaryOf(const RunResult& result) {
    EXPECT_TRUE(result.outputIsJSONLines()) << result.standardOutput;
    std::optional<json> summary;
    for (const auto& line : result.outputLines()) {
      auto event = json::parse(line);
      if (event["event"] == "summary") {
        EXPECT_FALSE(summary) << "more than one summary";
        summary = event;
      }
    }
    if (!summary) {
      ADD_FAILURE() << "no summary event in:\n" << result.standardOutput;
      return json::object();
    }
    summary->erase("time");
    return *summary;
  }

  static json failed(const std::string& reason) { return json{{"failed", reason}}; }
};

} // namespace

TEST_F(VerifyE2E, ReleasedAppPassesWithOneLineOnStandardOutput) {
  stand->makeReleasedApp("Sample");
  const auto result = stand->bosun({"verify", "Sample.app"});
  EXPECT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_EQ(result.standardOutput, "Sample.app: all checks passed\n");
  EXPECT_EQ(result.standardError, "› Checking signing, notarization and stapling…\n"
                                  "✓ Signing\n✓ Notarization\n✓ Stapling\n");
}

TEST_F(VerifyE2E, ReleasedAppDeepAndJSONSummary) {
  stand->makeReleasedApp("Sample");
  const auto result = stand->bosun({"verify", "--json", "--deep", "Sample.app"});
  EXPECT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_EQ(result.standardError, "");
  EXPECT_EQ(summaryOf(result), (json{{"event", "summary"},
                                     {"file", "Sample.app"},
                                     {"signing", "passed"},
                                     {"notarization", "passed"},
                                     {"stapling", "passed"},
                                     {"exitCode", 0},
                                     {"class", "success"},
                                     {"problems", json::array()},
                                     {"deep", "passed"}}));
}

TEST_F(VerifyE2E, UnsignedApp) {
  stand->makeApp("Unsigned");
  const auto result = stand->bosun({"verify", "Unsigned.app"});
  EXPECT_TRUE(result.exitedWith(14)) << result.standardError;
  EXPECT_EQ(result.standardOutput, "Unsigned.app: 3 check(s) did not pass\n");
  EXPECT_NE(result.standardError.find("✗ Signing - Not signed\n"), std::string::npos)
      << result.standardError;
  EXPECT_NE(result.standardError.find("✗ Notarization - "), std::string::npos);
  EXPECT_NE(result.standardError.find("✗ Stapling - No ticket stapled\n"), std::string::npos);
}

TEST_F(VerifyE2E, AppleDevelopmentSignature) {
  stand->addIdentity(StandInRoot::development);
  stand->signApp(stand->makeApp("Dev"), StandInRoot::development);
  const auto summary = summaryOf(stand->bosun({"verify", "Dev.app", "--json"}));
  EXPECT_EQ(summary["signing"], failed("Not signed with a Developer ID Application certificate"));
  EXPECT_EQ(summary["exitCode"], 14);
  EXPECT_EQ(summary["class"], "verification");
  EXPECT_EQ(summary["problems"][0],
            "Signing: Not signed with a Developer ID Application certificate");
}

TEST_F(VerifyE2E, SignedButNotNotarizedDMG) {
  const auto app = stand->makeReleasedApp("Sample");
  stand->makeDMG("Sample", app);
  const auto result = stand->bosun({"verify", "--json", "Sample.dmg"});
  EXPECT_TRUE(result.exitedWith(14));
  EXPECT_EQ(summaryOf(result),
            (json{{"event", "summary"},
                  {"file", "Sample.dmg"},
                  {"signing", "passed"},
                  {"notarization", failed("Signed, but Apple has no notarization ticket for it")},
                  {"stapling", failed("No ticket stapled")},
                  {"exitCode", 14},
                  {"class", "verification"},
                  {"problems",
                   {"Notarization: Signed, but Apple has no notarization ticket for it",
                    "Stapling: No ticket stapled"}}}));
}

// A notarized and stapled DMG and PKG pass: tests/golden/release.txt.

TEST_F(VerifyE2E, NotarizedPKGWithoutTicket) {
  const auto pkg = stand->makePKG("Sample", stand->makeReleasedApp("Sample"));
  stand->notarize(pkg);
  const auto summary = summaryOf(stand->bosun({"verify", "--json", "Sample.pkg"}));
  EXPECT_EQ(summary["signing"], "passed");
  EXPECT_EQ(summary["notarization"], "passed");
  EXPECT_EQ(summary["stapling"], failed("No ticket stapled"));
  EXPECT_EQ(summary["problems"], json::array({"Stapling: No ticket stapled"}));
}

TEST_F(VerifyE2E, UnsignedPKG) {
  stand->makePKG("Plain", stand->makeApp("Plain"), "");
  const auto result = stand->bosun({"verify", "Plain.pkg"});
  EXPECT_TRUE(result.exitedWith(14));
  EXPECT_NE(result.standardError.find("✗ Signing - Not signed\n"), std::string::npos)
      << result.standardError;
}

TEST_F(VerifyE2E, DeepFailureAloneStillFailsTheRun) {
  stand->makeReleasedApp("Sample");
  // Only the deep verification fails; the release checks verify without --deep.
  const auto result = stand->bosun(
      {"verify", "--deep", "Sample.app"},
      {{"MACSIM_CODESIGN_WHEN", "--deep"},
       {"MACSIM_CODESIGN_FAIL", "1"},
       {"MACSIM_CODESIGN_STDERR", "Sample.app: a sealed resource is missing or invalid"}});
  EXPECT_TRUE(result.exitedWith(14)) << result.standardError;
  EXPECT_EQ(result.standardOutput, "Sample.app: 1 check(s) did not pass\n");
  EXPECT_EQ(result.standardError,
            "› Verifying the signature (deep, strict)…\n"
            "✗ Deep signature verification - Sample.app: a sealed resource is missing or invalid\n"
            "› Checking signing, notarization and stapling…\n"
            "✓ Signing\n✓ Notarization\n✓ Stapling\n");
}

TEST_F(VerifyE2E, TamperedAppFailsSigning) {
  const auto app = stand->makeReleasedApp("Sample");
  std::ofstream(app / "Contents" / "Resources" / "readme.txt", std::ios::app) << "changed\n";
  const auto summary = summaryOf(stand->bosun({"verify", "--json", "--deep", "Sample.app"}));
  EXPECT_EQ(summary["deep"], "failed");
  ASSERT_TRUE(summary["signing"].is_object()) << summary.dump();
  EXPECT_NE(summary["problems"][0].get<std::string>().find("Deep verification: "),
            std::string::npos);
  EXPECT_EQ(summary["exitCode"], 14);
}
