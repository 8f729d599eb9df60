#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <sstream>
#include <thread>

#include "StandInRoot.hpp"

using bosun::testing::contains;
using bosun::testing::fileContents;
using bosun::testing::noProcessNamingWithin;
using bosun::testing::processesNaming;
using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

class NotarizeE2E : public ::testing::Test {
protected:
  StandInRoot stand;
  fs::path app;
  const std::string holder = "Example Corp (A1B2C3D4E5)";

  void SetUp() override {
    stand.addReleaseSetUp();
    app = stand.makeReleasedApp("Sample");
  }

  // `bosun notarize ARGUMENTS --profile <the test profile>`.
  RunResult notarize(std::vector<std::string> arguments,
                     std::map<std::string, std::string> environment = {}) const {
    arguments.insert(arguments.begin(), "notarize");
    arguments.insert(arguments.end(), {"--profile", StandInRoot::profile});
    return stand.bosun(std::move(arguments), std::move(environment));
  }

  fs::path signingFolder() const { return stand.home() / "tmp" / "Halyard_ArtifactSigning"; }

  // No temporary signed package and no partial copy is left behind.
  void expectNoLeftovers() const {
    if (fs::exists(signingFolder())) {
      EXPECT_TRUE(fs::is_empty(signingFolder()));
    }
    for (const auto& entry : fs::recursive_directory_iterator(stand.work())) {
      const std::string name = entry.path().filename().string();
      EXPECT_FALSE(contains(name, ".partial") || contains(name, ".bosun-")) << entry.path();
    }
  }

  // The id in "Submitted to Apple's notary service (submission ID)…"; empty when none.
  static std::string submissionIn(const std::string& text) {
    const std::string lead = "(submission ";
    const auto at = text.find(lead);
    return at == std::string::npos ? "" : text.substr(at + lead.size(), 36);
  }

  // How many submissions the stand-in notary service has received.
  size_t submissionCount() const {
    const auto history =
        stand.tool("/usr/bin/xcrun", {"notarytool", "history", "--keychain-profile",
                                      StandInRoot::profile, "--output-format", "json"});
    return json::parse(history.standardOutput)["history"].size();
  }

  fs::path submissions() const { return stand.home() / ".cache" / "bosun" / "submissions"; }

  bool isStapled(const fs::path& file) const {
    return stand.tool("/usr/bin/xcrun", {"stapler", "validate", file.string()}).exitedWith(0);
  }
};

// notarytool's own wait hangs here (MACSIM_NOTARY_WAIT_HANGS): bosun never uses it.
TEST_F(NotarizeE2E, DMGInPlace) {
  const auto dmg = stand.makeDMG("Sample", app);
  const auto result = notarize({"Sample.dmg", "--identity", StandInRoot::application},
                               {{"MACSIM_NOTARY_WAIT_HANGS", "1"}});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_EQ(result.standardOutput, dmg.string() + "\n");
  const std::string id = submissionIn(result.standardError);
  EXPECT_EQ(result.standardError, "File: " + dmg.string() + "\n" +
                                      "› Notarizing Sample.dmg (this can take a few minutes)…\n"
                                      "› Signing DMG…\n› Verifying DMG signature…\n"
                                      "› Submitting DMG for notarization…\n"
                                      "› Submitted to Apple's notary service (submission " +
                                      id +
                                      ")…\n"
                                      "› Stapling DMG…\n"
                                      "› Validating stapled DMG…\n"
                                      "› Checking signing, notarization and stapling…\n"
                                      "✓ Signing\n✓ Notarization\n✓ Stapling\n"
                                      "✓ Sample.dmg is signed, notarized and stapled\n");
  EXPECT_TRUE(isStapled(dmg));
}

// The JSON events, the submission announced before stapling and the summary last but one:
// tests/golden/release.txt.

// The result path is the user's own: a folder named like a password or an option stays intact.
TEST_F(NotarizeE2E, TheResultPathIsPrintedAsIs) {
  const auto folder = stand.work() / "abcd-efgh-ijkl-mnop" / "-p x";
  fs::create_directories(folder);
  fs::rename(stand.makeDMG("Sample", app), folder / "Sample.dmg");
  const auto dmg = folder / "Sample.dmg";
  auto result = notarize({dmg.string(), "--no-sign"});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_EQ(result.standardOutput, dmg.string() + "\n");
  result = notarize({dmg.string(), "--no-sign", "--json"});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  const auto lines = result.outputLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(json::parse(lines[lines.size() - 2])["artifact"], dmg.string());
}

// A file name carrying terminal escapes is shown with them made visible by every command; only
// notarize's result path stays the exact path, for scripts.
TEST_F(NotarizeE2E, TerminalEscapesInNamesAreShownHarmlessly) {
  const auto dmg = stand.work() / "Evil\x1b]0;owned\x07\x1b[2J.dmg";
  fs::rename(stand.makeDMG("Sample", app), dmg);
  const auto clean = [](const std::string& text) {
    return text.find_first_of("\x1b\x07") == std::string::npos;
  };
  for (const std::string command : {"notarize", "verify", "inspect"}) {
    const auto result =
        stand.bosun({command, dmg.string(), "--no-sign", "-v", "--profile", StandInRoot::profile});
    EXPECT_TRUE(clean(result.standardError)) << command << "\n" << result.standardError;
    EXPECT_TRUE(contains(result.standardError, "Evil\\x1b]0;owned\\x07\\x1b[2J.dmg"))
        << command << "\n"
        << result.standardError;
    if (command == "notarize") {
      EXPECT_TRUE(result.exitedWith(0)) << result.standardError;
      EXPECT_EQ(result.standardOutput, dmg.string() + "\n");
    } else {
      EXPECT_TRUE(clean(result.standardOutput)) << command << "\n" << result.standardOutput;
    }
  }
}

TEST_F(NotarizeE2E, CopiesLeaveTheInputUnchangedAndTheInputItselfIsInPlace) {
  const auto dmg = stand.makeDMG("Sample", app);
  const std::string original = fileContents(dmg);
  fs::create_directory(stand.work() / "existing");
  const std::pair<std::string, fs::path> cases[] = {
      {"existing", stand.work() / "existing" / "Sample.dmg"},
      {"copies/Final.dmg", stand.work() / "copies" / "Final.dmg"},
      {"odd.pkg", stand.work() / "odd.pkg" / "Sample.dmg"}, // for a DMG, .pkg names a folder
      {"./Sample.dmg", dmg},
  };
  for (const auto& [output, expected] : cases) {
    const auto result = notarize({"Sample.dmg", "-o", output, "--no-sign"});
    ASSERT_TRUE(result.exitedWith(0)) << output << "\n" << result.standardError;
    EXPECT_EQ(result.standardOutput, expected.string() + "\n");
    EXPECT_TRUE(isStapled(expected)) << expected;
    if (expected != dmg) {
      EXPECT_EQ(fileContents(dmg), original) << output;
    }
  }
  expectNoLeftovers();
}

TEST_F(NotarizeE2E, AnExistingCopyTargetNeedsOverwrite) {
  stand.makeDMG("Sample", app);
  const auto target = stand.work() / "out" / "Sample.dmg";
  fs::create_directories(target.parent_path());
  std::ofstream(target) << "keep me";
  auto result = notarize({"Sample.dmg", "-o", "out"});
  EXPECT_TRUE(result.exitedWith(5)) << result.standardError;
  EXPECT_EQ(result.standardError,
            "✗ " + target.string() + " already exists.\n  Add --overwrite to replace it.\n");
  EXPECT_EQ(fileContents(target), "keep me");

  result = notarize({"Sample.dmg", "-o", "out", "--yes", "--no-sign"});
  EXPECT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_TRUE(isStapled(target));
}

TEST_F(NotarizeE2E, PKGSignedWithABareInstallerHolderName) {
  const auto pkg = stand.makePKG("Sample", app, "");
  const auto result = notarize({"Sample.pkg", "--installer-identity", holder});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "› Signing PKG…\n› Checking PKG signature…\n"));
  const auto signature = stand.toolOK("/usr/sbin/pkgutil", {"--check-signature", pkg.string()});
  EXPECT_TRUE(contains(signature, StandInRoot::installer)) << signature;
  EXPECT_TRUE(isStapled(pkg));
  expectNoLeftovers();
}

TEST_F(NotarizeE2E, WithoutSigningTheFileKeepsItsSignature) {
  stand.makePKG("Sample", app);
  const std::string warning = "! No Developer ID Installer identity is configured, so the PKG "
                              "keeps its current signature.\n";
  auto result = notarize({"Sample.pkg"});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, warning + "File: ")) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "› Checking existing PKG signature…\n"));
  result = notarize({"Sample.pkg", "--no-sign"});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_FALSE(contains(result.standardError, warning));

  // --no-sign neither checks nor uses the configured identity.
  stand.makeDMG("Sample", app);
  result = notarize({"Sample.dmg", "--no-sign", "--identity", "Developer ID Application: Nobody"});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_FALSE(contains(result.standardError, "Signing DMG"));
}

TEST_F(NotarizeE2E, AnIdentityThatIsNotInstalled) {
  const auto dmg = stand.makeDMG("Sample", app);
  const std::string original = fileContents(dmg);
  const auto result = notarize({"Sample.dmg", "--identity", "Developer ID Application: Nobody"});
  EXPECT_TRUE(result.exitedWith(4)) << result.standardError;
  EXPECT_EQ(result.standardError, "✗ The signing identity \"Developer ID Application: Nobody\" "
                                  "was not found in your keychain.\n"
                                  "  Available: Developer ID Application: Example Corp "
                                  "(A1B2C3D4E5)\n");
  EXPECT_EQ(fileContents(dmg), original);
}

// An Invalid verdict names the submission, its status and the log's issues; an offline service
// says so. Nothing is stapled and the file stays as it was.
TEST_F(NotarizeE2E, AnInvalidVerdictOrNoNetworkIsToldPlainly) {
  const auto pkg = stand.makePKG("Sample", app);
  const auto dmg = stand.makeDMG("Sample", app);
  const std::string original = fileContents(pkg), originalDMG = fileContents(dmg);
  auto result = notarize({"Sample.pkg", "--no-sign"}, {{"MACSIM_NOTARY_VERDICT", "Invalid"}});
  EXPECT_TRUE(result.exitedWith(11)) << result.standardError;
  const std::string lead = "✗ Notarization failed: the notary service judged Sample.pkg Invalid "
                           "(submission ";
  const auto start = result.standardError.find(lead);
  ASSERT_NE(start, std::string::npos) << result.standardError;
  const std::string id = result.standardError.substr(start + lead.size(), 36);
  EXPECT_EQ(
      result.standardError.substr(start),
      lead + id + ").\n  Sample.pkg: The notary service rejected this submission " +
          "(MACSIM_NOTARY_VERDICT=Invalid).\n  See the whole log with `xcrun notarytool log " + id +
          "`.\n");
  EXPECT_FALSE(contains(result.standardError, "Stapling PKG"));
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(fileContents(pkg), original);

  result = notarize({"Sample.dmg", "--no-sign"}, {{"MACSIM_OFFLINE", "1"}});
  EXPECT_TRUE(result.exitedWith(11)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError,
                       "✗ Notarization failed: the notary service could not be reached.\n"
                       "  Check the network connection and try again.\n"))
      << result.standardError;
  EXPECT_EQ(fileContents(dmg), originalDMG);
  expectNoLeftovers();
}

TEST_F(NotarizeE2E, StaplingAndValidationFailures) {
  stand.makeDMG("Sample", app);
  auto result = notarize({"Sample.dmg", "--no-sign"},
                         {{"MACSIM_STAPLER_FAIL", "65"},
                          {"MACSIM_STAPLER_WHEN", "staple"},
                          {"MACSIM_STAPLER_STDOUT", "The staple and validate action failed!"}});
  EXPECT_TRUE(result.exitedWith(12)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError,
                       "✗ Stapling failed: The staple and validate action failed!\n"));

  // A PKG whose validation fails is never replaced.
  const auto pkg = stand.makePKG("Sample", app, "");
  const std::string original = fileContents(pkg);
  result = notarize({"Sample.pkg", "--installer-identity", holder},
                    {{"MACSIM_STAPLER_FAIL", "65"}, {"MACSIM_STAPLER_WHEN", "validate"}});
  EXPECT_TRUE(result.exitedWith(12)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "✗ Validation failed: ")) << result.standardError;
  EXPECT_EQ(fileContents(pkg), original);
  expectNoLeftovers();
}

// Whatever step fails, the input, an existing copy target and the folders around them are as
// they were: the work happens on a copy that replaces the target only after validation.
TEST_F(NotarizeE2E, AFailedRunLeavesTheUsersFilesAsTheyWere) {
  const auto dmg = stand.makeDMG("Sample", app);
  const auto pkg = stand.makePKG("Sample", app, "");
  ASSERT_TRUE(notarize({"Sample.dmg", "-o", "good", "--no-sign"}).exitedWith(0));
  const auto good = stand.work() / "good" / "Sample.dmg";
  const std::string dmgBytes = fileContents(dmg), goodBytes = fileContents(good),
                    pkgBytes = fileContents(pkg);
  const std::map<std::string, std::string> invalid{{"MACSIM_NOTARY_VERDICT", "Invalid"}};
  const std::map<std::string, std::string> notValid{{"MACSIM_STAPLER_FAIL", "65"},
                                                    {"MACSIM_STAPLER_WHEN", "validate"}};
  const struct {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    int code;
  } cases[] = {
      {{"Sample.dmg", "-o", "good", "--overwrite", "--no-sign"}, invalid, 11},
      {{"Sample.dmg", "-o", "good", "--overwrite", "--no-sign"}, notValid, 12},
      {{"Sample.dmg", "--identity", StandInRoot::application}, invalid, 11},
      {{"Sample.dmg", "--identity", StandInRoot::application}, notValid, 12},
      {{"Sample.pkg", "--no-sign"}, notValid, 12},
  };
  for (const auto& run : cases) {
    const auto result = notarize(run.arguments, run.environment);
    EXPECT_TRUE(result.exitedWith(run.code)) << run.arguments[0] << "\n" << result.standardError;
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(fileContents(dmg), dmgBytes) << result.standardError;
    EXPECT_EQ(fileContents(good), goodBytes) << result.standardError;
    EXPECT_EQ(fileContents(pkg), pkgBytes) << result.standardError;
    expectNoLeftovers();
  }
  EXPECT_TRUE(noProcessNamingWithin({stand.home().string()})); // no stand-in left running
}

// Exit codes name the real problem: an unsigned DMG with nothing to sign it with is a signing
// problem, a keychain profile that does not exist is missing credentials; the DMG stays as it was.
TEST_F(NotarizeE2E, ExitCodesNameTheProblem) {
  const auto dmg = stand.makeDMG("Sample", app, "");
  const std::string original = fileContents(dmg);
  auto result = notarize({"Sample.dmg"});
  EXPECT_TRUE(result.exitedWith(10)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError,
                       "✗ Sample.dmg is not signed, and no signing identity is configured.\n"
                       "  Pass --identity \"Developer ID Application: …\" (or set `identity`) to "
                       "sign it.\n"))
      << result.standardError;
  EXPECT_EQ(fileContents(dmg), original);

  result = stand.bosun({"notarize", "Sample.dmg", "--identity", StandInRoot::application,
                        "--profile", "no-such-profile"});
  EXPECT_TRUE(result.exitedWith(4)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "no-such-profile")) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "  Create the profile with `bosun setup`, or check "
                                             "the --profile name.\n"));
  EXPECT_EQ(fileContents(dmg), original);
  expectNoLeftovers();
}

TEST_F(NotarizeE2E, CtrlCDuringTheWaitStopsNotarytoolAndRemovesTheSignedCopy) {
  const auto pkg = stand.makePKG("Sample", app, "");
  const std::string original = fileContents(pkg);
  RunResult result;
  std::thread run([&] {
    result = notarize({"Sample.pkg", "--installer-identity", holder},
                      {{"MACSIM_NOTARYTOOL_DELAY", "60"}});
  });
  // Once notarytool waits on the signed copy, interrupt this test's bosun (found by its folder).
  const std::string folder = signingFolder().string();
  std::vector<pid_t> bosun;
  for (int i = 0; i < 600 && bosun.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (processesNaming({"submit", folder}).empty()) continue;
    for (const pid_t pid : processesNaming({BOSUN_BINARY, "notarize"})) {
      std::error_code error;
      if (fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd", error) == stand.work())
        bosun.push_back(pid);
    }
  }
  ASSERT_EQ(bosun.size(), 1u) << "bosun never reached the submission";
  ::kill(bosun.front(), SIGINT);
  run.join();

  EXPECT_TRUE(result.exitedWith(130)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "Cancelled.")) << result.standardError;
  EXPECT_TRUE(noProcessNamingWithin({"submit", folder})) << "notarytool is still running";
  EXPECT_EQ(fileContents(pkg), original);
  expectNoLeftovers();
  // It held a signed copy of the user's package: nobody else may look in.
  EXPECT_EQ(fs::status(signingFolder()).permissions() & fs::perms::all, fs::perms::owner_all);
}

// Apple takes longer than the wait: the time-out names the submission and how to collect it,
// the uploaded (signed) file is kept, and collecting it later staples without a second upload.
// A submission of another file is refused.
TEST_F(NotarizeE2E, ATimedOutSubmissionIsCollectedLaterWithoutUploadingAgain) {
  const auto dmg = stand.makeDMG("Sample", app, "");
  const auto other = stand.makeDMG("Other", app, "");
  const std::string original = fileContents(dmg);
  const size_t before = submissionCount();
  auto result =
      notarize({"Sample.dmg", "--identity", StandInRoot::application, "--notary-wait", "1"},
               {{"MACSIM_NOTARY_PROCESSING", "4"}});
  EXPECT_TRUE(result.exitedWith(20)) << result.standardError;
  const std::string id = submissionIn(result.standardError);
  ASSERT_EQ(id.size(), 36u) << result.standardError;
  EXPECT_TRUE(contains(result.standardError,
                       "✗ Timed out while waiting for Apple notarization to finish. Submission " +
                           id +
                           ".\n  Apple keeps working on it; collect the result later with `bosun "
                           "notarize " +
                           dmg.string() + " --submission " + id + "`.\n"))
      << result.standardError;
  EXPECT_EQ(fileContents(dmg), original);
  EXPECT_EQ(fs::status(submissions()).permissions() & fs::perms::all, fs::perms::owner_all);
  const std::string record = fileContents(submissions() / (id + ".json"));
  EXPECT_TRUE(contains(record, dmg.string())) << record;
  EXPECT_FALSE(contains(record, StandInRoot::profile)) << record;

  result = notarize({"Other.dmg", "--submission", id});
  EXPECT_TRUE(result.exitedWith(5)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "✗ Submission " + id +
                                                 " is not of Other.dmg: Apple received a file "
                                                 "with SHA-256 "))
      << result.standardError;
  EXPECT_TRUE(fs::exists(other));

  std::this_thread::sleep_for(std::chrono::seconds(3));
  result = notarize({"Sample.dmg", "--identity", StandInRoot::application});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "› Resuming submission " + id +
                                                 " of Sample.dmg instead of uploading it again…\n"))
      << result.standardError;
  EXPECT_FALSE(contains(result.standardError, "Signing DMG"));
  EXPECT_EQ(submissionCount(), before + 1);
  EXPECT_TRUE(isStapled(dmg));
  EXPECT_TRUE(fs::is_empty(submissions()));
  expectNoLeftovers();
}

// Ctrl-C once the file is uploaded: the id and the way to collect it are printed before
// "Cancelled.", and `--submission` collects the signed package that was uploaded.
TEST_F(NotarizeE2E, CtrlCAfterTheUploadKeepsTheSubmission) {
  const auto pkg = stand.makePKG("Sample", app, "");
  const size_t before = submissionCount();
  RunResult result;
  std::thread run([&] {
    result = notarize({"Sample.pkg", "--installer-identity", holder},
                      {{"MACSIM_NOTARY_PROCESSING", "3"}});
  });
  std::vector<pid_t> bosun;
  for (int i = 0; i < 600 && bosun.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::error_code error;
    if (submissionCount() == before) continue;
    for (const pid_t pid : processesNaming({BOSUN_BINARY, "notarize"})) {
      if (fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd", error) == stand.work())
        bosun.push_back(pid);
    }
  }
  ASSERT_EQ(bosun.size(), 1u) << "bosun never uploaded";
  std::this_thread::sleep_for(std::chrono::milliseconds(500)); // bosun reads the id meanwhile
  ::kill(bosun.front(), SIGINT);
  run.join();

  EXPECT_TRUE(result.exitedWith(130))
      << result.status << " " << result.signal << " " << result.standardError;
  const std::string id = submissionIn(result.standardError);
  ASSERT_EQ(id.size(), 36u) << result.standardError;
  EXPECT_TRUE(contains(result.standardError,
                       "! Submission " + id +
                           " is with Apple's notary service. Apple keeps "
                           "working on it; collect the result later with `bosun notarize " +
                           pkg.string() + " --submission " + id + "`.\n✗ Cancelled.\n"))
      << result.standardError;
  expectNoLeftovers();

  result = notarize({"Sample.pkg", "--submission", id});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_EQ(submissionCount(), before + 1);
  EXPECT_TRUE(isStapled(pkg));
  EXPECT_TRUE(contains(stand.toolOK("/usr/sbin/pkgutil", {"--check-signature", pkg.string()}),
                       "Developer ID Installer: " + holder));
}

} // namespace
