#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "StandInRoot.hpp"
#include "core/Support/PropertyList.hpp"

using bosun::testing::contains;
using bosun::testing::fileContents;
using bosun::testing::noProcessNamingWithin;
using bosun::testing::processesNaming;
using bosun::testing::RunResult;
using bosun::testing::StandInRoot;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

// Every entry below a folder: relative path → kind, permissions and content (or link target).
std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const auto status = entry.symlink_status();
    std::string facts = std::to_string(static_cast<int>(status.type())) + " " +
                        std::to_string(static_cast<int>(status.permissions())) + " ";
    if (fs::is_symlink(status))
      facts += fs::read_symlink(entry.path()).string();
    else if (fs::is_regular_file(status))
      facts += fileContents(entry.path());
    entries[fs::relative(entry.path(), folder).string()] = facts;
  }
  return entries;
}

// A release folder with an app that has nested code (a library and a helper tool), under a
// stand-in Mac with the identities and the notary profile of a release. After every test the
// user's app is unchanged and nothing of the run is left: no temporary files, no attached image,
// no stand-in tool still running, no private folder beside the output.
class StartE2E : public ::testing::Test {
protected:
  StandInRoot stand;
  fs::path release;
  fs::path app;
  std::map<std::string, std::string> appBefore;

  void SetUp() override {
    stand.addReleaseSetUp();
    release = stand.makeReleaseFolder();
    app = release / "Sample.app";
    fs::create_directories(app / "Contents" / "Frameworks");
    fs::create_directories(app / "Contents" / "Helpers");
    for (const auto& nested : {app / "Contents" / "Frameworks" / "libkit.dylib",
                               app / "Contents" / "Helpers" / "Updater"}) {
      ASSERT_TRUE(stand.macsim({"machO", "--arch", "arm64", nested.string()}).exitedWith(0));
    }
    appBefore = snapshot(app);
  }

  void TearDown() override {
    EXPECT_TRUE(noProcessNamingWithin({stand.root().string()})) << "a stand-in tool still runs";
    EXPECT_EQ(snapshot(app), appBefore) << "the user's app was changed";
    for (const auto& entry : fs::recursive_directory_iterator(stand.home() / "tmp"))
      ADD_FAILURE() << "left behind: " << entry.path();
    const auto images = stand.toolOK("/usr/bin/hdiutil", {"info", "-plist"});
    EXPECT_FALSE(contains(images, "image-path")) << images;
    for (const auto& entry : fs::directory_iterator(release))
      EXPECT_FALSE(contains(entry.path().filename().string(), "Bosun_")) << entry.path();
  }

  // `bosun start Release ARGUMENTS`, with the test identity unless ARGUMENTS name one.
  RunResult start(std::vector<std::string> arguments,
                  std::map<std::string, std::string> environment = {}) const {
    if (std::find(arguments.begin(), arguments.end(), "--identity") == arguments.end())
      arguments.insert(arguments.end(), {"--identity", "A1B2C3D4E5"});
    arguments.insert(arguments.begin(), {"start", "Release", "--profile", StandInRoot::profile});
    return stand.bosun(std::move(arguments), std::move(environment));
  }

  bool toolAccepts(const std::string& tool, std::vector<std::string> arguments) const {
    return stand.tool(tool, std::move(arguments)).exitedWith(0);
  }
};

// What each release prints, check lines included, is in tests/golden/release.txt.
TEST_F(StartE2E, DMGAndPKGReleasesWithAndWithoutNotarization) {
  struct Case {
    std::vector<std::string> arguments;
    std::string file;
    bool signedFile, stapled;
  };
  const Case cases[] = {
      {{}, "Release.dmg", true, true},
      {{"--no-notarize"}, "Release.dmg", true, false},
      {{"--no-sign", "--no-notarize"}, "Release.dmg", false, false},
      {{"--format", "pkg", "--installer-identity", "a1b2c3d4e5"}, "Release.pkg", true, true},
      {{"--format", "pkg", "--no-notarize", "--installer-identity", "A1B2C3D4E5"},
       "Release.pkg",
       true,
       false},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.file + " " + testing::PrintToString(test.arguments));
    const fs::path output = release / test.file;
    fs::remove(output);
    const RunResult result = start(test.arguments);
    ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
    EXPECT_EQ(result.standardOutput, output.string() + "\n");
    const bool isDMG = output.extension() == ".dmg";
    const bool signedFile =
        isDMG ? toolAccepts("/usr/bin/codesign", {"--verify", output.string()})
              : toolAccepts("/usr/sbin/pkgutil", {"--check-signature", output.string()});
    EXPECT_EQ(signedFile, test.signedFile);
    EXPECT_EQ(toolAccepts("/usr/bin/xcrun", {"stapler", "validate", output.string()}),
              test.stapled);
  }
}

TEST_F(StartE2E, AZipInputAndALicenseInTwoLanguages) {
  stand.toolOK("/usr/bin/ditto",
               {"-c", "-k", "--keepParent", app.string(), (release / "Sample.zip").string()});
  const auto savedApp = stand.work() / "Sample.app";
  fs::rename(app, savedApp);
  // The English license as a word processor saved it, with a clause deleted under change
  // tracking: the agreement of the PKG and of the DMG holds the text without it.
  fs::copy_file(fs::path(TEST_DATA_DIR) / "legal" / "libreoffice-eula.doc", release / "eula.doc");
  std::ofstream(release / "eula_fr-FR.txt") << "Licence de Sample\n\nUtilisez-la bien.\n";
  const RunResult result = start({"--format", "pkg", "--no-notarize"});
  const RunResult image = start({"--no-notarize"});
  fs::rename(savedApp, app);
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError, "› Extracting Sample.zip…\n"));
  ASSERT_TRUE(image.exitedWith(0)) << image.standardError;

  const auto expanded = stand.work() / "expanded";
  stand.toolOK("/usr/sbin/pkgutil",
               {"--expand", (release / "Release.pkg").string(), expanded.string()});
  const auto english = fileContents(expanded / "Resources" / "en.lproj" / "License.rtf");
  EXPECT_TRUE(contains(english, "You may install it on two computers."));
  EXPECT_FALSE(contains(english, "sell your data"));
  EXPECT_TRUE(contains(fileContents(expanded / "Resources" / "fr_FR.lproj" / "License.rtf"),
                       "Utilisez-la bien."));

  const auto resources = halyard::PropertyList::parse(
      stand.toolOK("/usr/bin/hdiutil", {"udifderez", "-xml", (release / "Release.dmg").string()}));
  const auto texts =
      halyard::PropertyList::elements(halyard::PropertyList::item(resources.node(), "TEXT"));
  ASSERT_EQ(texts.size(), 2u);
  const auto text = halyard::PropertyList::data(texts[0], "Data").value_or("");
  EXPECT_TRUE(contains(text, "Read the terms on our website.\nYou may install it on two "
                             "computers.\nYou must keep this notice and should read it.\n"
                             "\u2022    First bullet\n"))
      << text;
  EXPECT_FALSE(contains(text, "sell your data"));
  // The image asks for the agreement before it mounts: inspection answers it.
  const auto inspected = stand.bosun({"inspect", "--json", (release / "Release.dmg").string()});
  EXPECT_TRUE(contains(inspected.standardOutput, "Mounted successfully (read-only).") &&
              contains(inspected.standardOutput, "\"Found Sample.app\""))
      << inspected.standardOutput;
}

TEST_F(StartE2E, ADesignerTemplateIsRenderedAndABrokenOneIsAnInputError) {
  fs::copy_file(fs::path(TEST_DATA_DIR) / "design" / "showcase.hyd", release / "Design.hyd");
  const RunResult rendered = start({"--no-notarize"});
  ASSERT_TRUE(rendered.exitedWith(0)) << rendered.standardError;
  EXPECT_TRUE(contains(rendered.standardError, "› Rendering the background from Design.hyd…\n"));

  std::ofstream(release / "Design.hyd", std::ios::trunc) << "not a template";
  const RunResult broken = start({"--no-notarize", "--overwrite"});
  EXPECT_TRUE(broken.exitedWith(5)) << broken.standardError;
  EXPECT_TRUE(contains(broken.standardError, "✗ The template could not be used: "))
      << broken.standardError;
}

// The JSON events of a release, the summary last but one: tests/golden/release.txt.

TEST_F(StartE2E, FailuresEndWithTheirStepsExitCodes) {
  std::ofstream(stand.work() / "empty.txt") << "nothing";
  struct Case {
    std::string name;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    int exitCode;
    std::string message;
  };
  // An identity that is not installed: tests/golden/refusals.txt.
  const Case cases[] = {
      {"installer identity not installed, even unsigned",
       {"--format", "pkg", "--no-sign", "--no-notarize", "--installer-identity", "Nobody"},
       {},
       4,
       "✗ The installer identity \"Nobody\" was not found in your keychain.\n"},
      {"deep verification",
       {"--deep"},
       {{"MACSIM_CODESIGN_FAIL", "1"}, {"MACSIM_CODESIGN_WHEN", "--strict"}},
       10,
       "✗ Deep verification failed: "},
      {"the app bundle's Invalid verdict",
       {"--app-bundle", "notarize"},
       {{"MACSIM_NOTARY_VERDICT", "Invalid"}},
       11,
       "✗ Notarizing the app failed: "},
      {"Invalid verdict", {}, {{"MACSIM_NOTARY_VERDICT", "Invalid"}}, 11, "✗ "},
      {"stapling",
       {},
       {{"MACSIM_STAPLER_FAIL", "65"}, {"MACSIM_STAPLER_WHEN", "staple"}},
       12,
       "✗ "},
      {"build", {}, {{"MACSIM_HDIUTIL_FAIL", "1"}, {"MACSIM_HDIUTIL_WHEN", "create"}}, 13, "✗ "},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const RunResult result = start(test.arguments, test.environment);
    EXPECT_TRUE(result.exitedWith(test.exitCode)) << result.status << result.standardError;
    EXPECT_TRUE(contains(result.standardError, test.message)) << result.standardError;
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_FALSE(fs::exists(release / "Release.dmg"));
  }

  // A keychain that could not be asked is not an empty one.
  const auto security = stand.root() / "usr/bin/security";
  fs::rename(security, stand.work() / "security");
  const RunResult unasked = start({});
  fs::rename(stand.work() / "security", security);
  EXPECT_TRUE(unasked.exitedWith(3)) << unasked.standardError;
  EXPECT_TRUE(contains(unasked.standardError, "✗ security find-identity could not be started"))
      << unasked.standardError;

  // A build whose volume will not go fails, and the volume is named as the run ends.
  const RunResult stuck = start({}, {{"MACSIM_STUCK_VOLUMES", "1"}});
  EXPECT_TRUE(stuck.exitedWith(13)) << stuck.standardError;
  EXPECT_TRUE(stand.detachNamedIn(stuck.standardError).starts_with("/dev/disk"))
      << stuck.standardError;

  // A ZIP without an app.
  const auto savedApp = stand.work() / "Sample.app";
  fs::rename(app, savedApp);
  stand.toolOK("/usr/bin/ditto", {"-c", "-k", (stand.work() / "empty.txt").string(),
                                  (release / "Empty.zip").string()});
  const RunResult zip = start({});
  fs::rename(savedApp, app);
  fs::remove(release / "Empty.zip");
  EXPECT_TRUE(zip.exitedWith(5)) << zip.standardError;
  EXPECT_TRUE(contains(zip.standardError, "✗ Empty.zip does not contain an .app.\n"))
      << zip.standardError;

  // A required check that fails keeps the file, reports 14 and still prints the path.
  const RunResult checks = start({}, {{"MACSIM_SPCTL_FAIL", "3"}, {"MACSIM_SPCTL_WHEN", "-vv"}});
  EXPECT_TRUE(checks.exitedWith(14)) << checks.standardError;
  EXPECT_TRUE(contains(checks.standardError, "✗ DMG notarization - "));
  EXPECT_TRUE(contains(checks.standardError,
                       "✗ Release.dmg was created, but some checks did not pass.\n  "
                       "DMG notarization: "))
      << checks.standardError;
  EXPECT_EQ(checks.standardOutput, (release / "Release.dmg").string() + "\n");
}

TEST_F(StartE2E, OverwriteKeepsTheOldReleaseUntilTheNewOneIsDone) {
  const auto output = release / "Release.dmg";
  std::ofstream(output) << "the previous release";
  const RunResult refused = start({"--no-notarize"});
  EXPECT_TRUE(refused.exitedWith(5)) << refused.standardError;

  const RunResult failed = start({"--overwrite"}, {{"MACSIM_NOTARY_VERDICT", "Invalid"}});
  EXPECT_TRUE(failed.exitedWith(11)) << failed.standardError;
  EXPECT_EQ(fileContents(output), "the previous release");

  const RunResult replaced = start({"--overwrite"});
  EXPECT_TRUE(replaced.exitedWith(0)) << replaced.standardError;
  EXPECT_TRUE(toolAccepts("/usr/bin/xcrun", {"stapler", "validate", output.string()}));
}

// Apple takes longer than the wait, for the app's submission and for the DMG's: each ends with
// the time-out, the id (also as a JSON event) and how to follow it. A rerun with a changed app
// makes and uploads a new DMG; a rerun with the same inputs resumes that DMG's submission, so
// nothing is built or uploaded again.
TEST_F(StartE2E, ATimedOutReleaseIsResumedOnlyFromTheSameInputs) {
  const auto submissionCount = [this] {
    const auto history =
        stand.tool("/usr/bin/xcrun", {"notarytool", "history", "--keychain-profile",
                                      StandInRoot::profile, "--output-format", "json"});
    return json::parse(history.standardOutput)["history"].size();
  };
  const auto submissionIn = [](const std::string& text) {
    const auto at = text.rfind("(submission ");
    return at == std::string::npos ? std::string() : text.substr(at + 12, 36);
  };
  const std::map<std::string, std::string> slow{{"MACSIM_NOTARY_PROCESSING", "3"}};
  const fs::path output = release / "Release.dmg";
  const size_t before = submissionCount();

  RunResult result = start({"--app-bundle", "notarize", "--notary-wait", "1", "--json"}, slow);
  EXPECT_TRUE(result.exitedWith(20)) << result.standardOutput;
  const auto lines = result.outputLines();
  const auto event = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return json::parse(line)["event"] == "submission";
  });
  ASSERT_NE(event, lines.end()) << result.standardOutput;
  const std::string appID = json::parse(*event)["id"];
  EXPECT_EQ(json::parse(*event)["file"], app.string());
  EXPECT_TRUE(contains(result.standardOutput, "Apple keeps working on it; ask for its status with "
                                              "`xcrun notarytool info " +
                                                  appID + "` and your notary credentials."))
      << result.standardOutput;

  result = start({"--notary-wait", "1"}, slow);
  EXPECT_TRUE(result.exitedWith(20)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError,
                       "Apple keeps working on it; collect the result later with `bosun notarize " +
                           output.string() + " --submission "))
      << result.standardError;
  EXPECT_FALSE(fs::exists(output));

  fs::create_directories(app / "Contents" / "Resources");
  std::ofstream(app / "Contents" / "Resources" / "Rebuilt.txt") << "a newer build";
  appBefore = snapshot(app);
  result = start({"--notary-wait", "1"}, slow);
  EXPECT_TRUE(result.exitedWith(20)) << result.standardError;
  EXPECT_FALSE(contains(result.standardError, "Resuming")) << result.standardError;
  const std::string id = submissionIn(result.standardError);
  EXPECT_EQ(submissionCount(), before + 3);

  std::this_thread::sleep_for(std::chrono::seconds(3));
  result = start({});
  ASSERT_TRUE(result.exitedWith(0)) << result.standardError;
  EXPECT_TRUE(contains(result.standardError,
                       "› Resuming submission " + id +
                           " of Release.dmg instead of building and uploading it again…\n"))
      << result.standardError;
  EXPECT_FALSE(contains(result.standardError, "Signing Sample.app")) << result.standardError;
  EXPECT_EQ(submissionCount(), before + 3);
  EXPECT_TRUE(toolAccepts("/usr/bin/xcrun", {"stapler", "validate", output.string()}));
}

TEST_F(StartE2E, SignalsStopEveryStepAndLeaveNothingBehind) {
  struct Case {
    std::string step;
    int signal;
    std::map<std::string, std::string> environment;
    std::string runningTool; // a word of the stand-in's command line while the step runs
    bool published = false;  // the finished file is in place when the signal comes
    std::vector<std::string> arguments = {};
  };
  const Case cases[] = {
      {"signing",
       SIGINT,
       {{"MACSIM_CODESIGN_DELAY", "60"}, {"MACSIM_CODESIGN_WHEN", "--force"}},
       "--force"},
      {"build",
       SIGINT,
       {{"MACSIM_HDIUTIL_DELAY", "60"}, {"MACSIM_HDIUTIL_WHEN", "create"}},
       "create"},
      {"notarization", SIGTERM, {{"MACSIM_NOTARYTOOL_DELAY", "60"}}, "submit"},
      {"build",
       SIGHUP,
       {{"MACSIM_HDIUTIL_DELAY", "60"}, {"MACSIM_HDIUTIL_WHEN", "create"}},
       "create"},
      // Checks the signal cuts short print nothing: no check line, no summary, no path.
      {"checks",
       SIGINT,
       {{"MACSIM_SPCTL_DELAY", "60"}, {"MACSIM_SPCTL_WHEN", "execute"}},
       "execute",
       true},
      // The clean-up's own ejects and detaches hang as the interrupted one did (something holds
      // the volume): the run still ends within seconds, with the image detached.
      {"eject",
       SIGINT,
       {{"MACSIM_DISKUTIL_DELAY", "60"}, {"MACSIM_DISKUTIL_WHEN", "eject"}},
       "eject",
       false,
       {"--modern"}},
      {"detach",
       SIGINT,
       {{"MACSIM_HDIUTIL_DELAY", "60"}, {"MACSIM_HDIUTIL_WHEN", "detach"}},
       "detach"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.step + " " + std::to_string(test.signal));
    RunResult result;
    // The modern disk image tools need macOS 27 or later.
    if (test.arguments == std::vector<std::string>{"--modern"}) {
      ASSERT_TRUE(stand.macsim({"init", stand.root().string(), "--macos", "27.0"}).exitedWith(0));
    }
    std::thread run([&] { result = start(test.arguments, test.environment); });
    std::vector<pid_t> bosun;
    for (int i = 0; i < 600 && bosun.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (processesNaming({stand.root().string(), test.runningTool}).empty()) continue;
      for (const pid_t pid : processesNaming({BOSUN_BINARY, "start"})) {
        std::error_code error;
        if (fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd", error) == stand.work())
          bosun.push_back(pid);
      }
    }
    ASSERT_EQ(bosun.size(), 1u) << "bosun never reached the " << test.step;
    const auto signalled = std::chrono::steady_clock::now();
    ::kill(bosun.front(), test.signal);
    run.join();
    // Not a speed check: a clean-up that waited on a hung tool would take a minute or more.
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(30));
    EXPECT_TRUE(result.exitedWith(130)) << result.standardError;
    EXPECT_TRUE(result.standardError.ends_with("! Cancelling…\n✗ Cancelled.\n"))
        << result.standardError;
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(fs::exists(release / "Release.dmg"), test.published);
    fs::remove(release / "Release.dmg");
  }
}

} // namespace

namespace {

// The one running bosun whose command line holds `word`, once it is there (0 after 30 s).
pid_t runningBosun(const std::string& word) {
  for (int i = 0; i < 600; ++i) {
    if (const auto found = processesNaming({BOSUN_BINARY, word}); found.size() == 1)
      return found.front();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

} // namespace

TEST_F(StartE2E, LinksOutOfTheAppAreRefusedAndALinkedAppIsCopiedFromWhereItIs) {
  // Another app, which a link in the release must never let the run change.
  const auto other = stand.makeApp("Other");
  const auto otherBefore = snapshot(other);
  struct Case {
    fs::path link; // inside the app
    fs::path target;
  };
  const Case cases[] = {
      {"Contents/Helpers/Other", other / "Contents"},
      {"Contents/Frameworks/Up", "../../../../Other.app/Contents/MacOS"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.link);
    fs::create_symlink(test.target, app / test.link);
    const RunResult result = start({"--no-notarize"});
    fs::remove(app / test.link);
    EXPECT_TRUE(result.exitedWith(5)) << result.standardError;
    EXPECT_TRUE(contains(result.standardError, "✗ " + (app / test.link).string() +
                                                   " is a link that leads out of the app, to " +
                                                   test.target.string() + ".\n"))
        << result.standardError;
    EXPECT_FALSE(contains(result.standardError, "Copying")) << result.standardError;
    EXPECT_EQ(snapshot(other), otherBefore);
  }

  // The app in the release folder is a link to one built elsewhere; its own inside link stays.
  const auto built = stand.work() / "Build" / "Sample.app";
  fs::create_directories(built.parent_path());
  fs::rename(app, built);
  fs::create_symlink(built, app);
  fs::create_symlink("readme.txt", built / "Contents" / "Resources" / "Current");
  const auto builtBefore = snapshot(built);
  const RunResult linked = start({"--no-notarize"});
  EXPECT_TRUE(linked.exitedWith(0)) << linked.standardError;
  EXPECT_EQ(snapshot(built), builtBefore) << "the app the link leads to was changed";
  EXPECT_TRUE(toolAccepts("/usr/bin/codesign", {"--verify", (release / "Release.dmg").string()}));
  fs::remove(built / "Contents" / "Resources" / "Current");
}

TEST_F(StartE2E, OnlyThisRunsImagesAndThoseOfDeadRunsAreDetached) {
  // What a killed run left in the temporary folder: its workspace and the DMG builder's folder
  // with its image still attached. And the user's own image, in a folder named like ours.
  const fs::path temporary = stand.home() / "tmp";
  fs::create_directories(temporary / "Bosun_DEAD" / "Sample.app");
  fs::create_directories(release / ".Bosun_DEAD");
  const auto image = [&](const fs::path& file) {
    fs::create_directories(file.parent_path());
    stand.toolOK("hdiutil", {"create", "-size", "1m", "-fs", "HFS+", "-volname",
                             file.stem().string(), file.string()});
    return stand.attach(file);
  };
  image(temporary / "Halyard_DMG_DEAD" / "rw.dmg");
  const auto mine = image(stand.work() / "Bosun_Mine" / "Mine.dmg");

  // A release that works slowly with its image attached, while another fails its build and a
  // third is cancelled: both clean up after themselves only.
  RunResult slow, failed, cancelled;
  std::thread slowRun([&] {
    slow = start({"--no-notarize", "--name", "Slow"},
                 {{"MACSIM_DITTO_DELAY", "6"},
                  {"MACSIM_DITTO_WHEN", (stand.root() / "Volumes/Slow/Sample.app").string()}});
  });
  while (!contains(stand.toolOK("hdiutil", {"info"}), "Volumes/Slow"))
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::thread failingRun([&] {
    failed = start({"--no-notarize", "--name", "Failing"},
                   {{"MACSIM_HDIUTIL_FAIL", "1"}, {"MACSIM_HDIUTIL_WHEN", "convert"}});
  });
  std::thread cancelledRun([&] {
    cancelled = start({"--no-notarize", "--name", "Cancelled"},
                      {{"MACSIM_HDIUTIL_DELAY", "60"}, {"MACSIM_HDIUTIL_WHEN", "create"}});
  });
  while (processesNaming({stand.root().string(), "create", "Cancelled"}).empty())
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ::kill(runningBosun("Cancelled"), SIGINT);
  failingRun.join();
  cancelledRun.join();
  slowRun.join();

  EXPECT_TRUE(failed.exitedWith(13)) << failed.standardError;
  EXPECT_TRUE(cancelled.exitedWith(130)) << cancelled.standardError;
  EXPECT_TRUE(slow.exitedWith(0)) << slow.standardError;
  EXPECT_EQ(slow.standardOutput, (release / "Slow.dmg").string() + "\n");
  EXPECT_TRUE(contains(slow.standardError + failed.standardError + cancelled.standardError,
                       "Removed what a stopped earlier run left behind: " +
                           (temporary / "Halyard_DMG_DEAD").string() + "\n"));
  EXPECT_TRUE(contains(stand.toolOK("hdiutil", {"info"}), mine.mountPoint.string()));
  stand.toolOK("hdiutil", {"detach", mine.device, "-force"});
}

TEST_F(StartE2E, AReleaseWhosePathCannotBeWrittenIsNoSuccess) {
  for (const bool json : {false, true}) {
    bosun::testing::RunOptions options;
    options.executable = BOSUN_BINARY;
    options.arguments = {"start",       "Release",    "--no-notarize",
                         "--overwrite", "--identity", "A1B2C3D4E5"};
    if (json) options.arguments.push_back("--json");
    options.baseEnvironment = stand.environment();
    options.workingDirectory = stand.work();
    options.closeStandardOutput = true;
    const RunResult result = bosun::testing::runProgram(options);
    EXPECT_TRUE(result.exitedWith(1)) << result.standardError;
    EXPECT_TRUE(contains(result.standardError, "✗ The release was made at " +
                                                   (release / "Release.dmg").string() +
                                                   ", but standard output could not be written.\n"))
        << result.standardError;
  }
}
