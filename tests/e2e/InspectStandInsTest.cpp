#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "InspectionStandIns.hpp"

using bosun::testing::InspectionStandIns;
using bosun::testing::RunResult;
namespace fs = std::filesystem;

namespace {
class InspectStandIns : public ::testing::Test {
protected:
  InspectionStandIns standIns;

  void SetUp() override {
    if (!standIns.available()) GTEST_SKIP() << "the stand-in tools of this build cannot set up";
  }

  // `bosun --json inspect FILE`: the exit status and the report event, with the file's digest
  // and the attached images checked to be the same before and after.
  std::pair<int, nlohmann::json> inspect(const fs::path& file) {
    const auto digest = InspectionStandIns::digest(file);
    const auto attached = standIns.attachedImages();
    const RunResult result = standIns.bosun({"--json", "inspect", file.string()});
    EXPECT_EQ(InspectionStandIns::digest(file), digest) << "the inspected file changed";
    EXPECT_EQ(standIns.attachedImages(), attached) << "the attached images changed";
    const auto lines = result.outputLines();
    if (lines.empty() || !nlohmann::json::accept(lines.back())) {
      ADD_FAILURE() << result.standardOutput << result.standardError;
      return {result.status, nlohmann::json::object()};
    }
    return {result.status, nlohmann::json::parse(lines.back())};
  }

  // The first field of the report with that identifier.
  static nlohmann::json field(const nlohmann::json& report, const std::string& id) {
    for (const auto& category : report["categories"]) {
      for (const auto& field : category["fields"]) {
        if (field["id"] == id) return field;
      }
    }
    return nullptr;
  }

  // A folder holding the given app, ready to become an image.
  fs::path contentsWith(const fs::path& app) {
    const auto folder = standIns.work() / (app.stem().string() + "-contents");
    fs::create_directories(folder);
    fs::copy(app, folder / app.filename(), fs::copy_options::recursive);
    fs::create_directory_symlink("/Applications", folder / "Applications");
    return folder;
  }
};
} // namespace

TEST_F(InspectStandIns, NotarizedStapledDMGIsPlatformTrusted) {
  const auto app = standIns.makeApp("Perfect", true, true);
  const auto dmg = standIns.makeDMG("Perfect", contentsWith(app), true, true);
  const auto [status, report] = inspect(dmg);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(report["score"], 100);
  EXPECT_EQ(report["verdict"], "Platform Trusted");
  EXPECT_EQ(report["notice"], nullptr);
  EXPECT_EQ(report["app"], "Perfect.app");
  EXPECT_EQ(field(report, "sha256")["value"], InspectionStandIns::digest(dmg));
  EXPECT_EQ(field(report, "notarization")["detail"], "App: notarized\nDMG: notarized");
  // The text report of such a file is in tests/golden/release.txt.
}

TEST_F(InspectStandIns, UnsignedDMGIsJudgedByItsApp) {
  const auto app = standIns.makeApp("Plain", true, true);
  const auto dmg = standIns.makeDMG("Plain", contentsWith(app), false, false);
  const auto [status, report] = inspect(dmg);
  EXPECT_EQ(status, 0); // warnings only
  EXPECT_EQ(field(report, "dmgSignature")["value"], "The DMG itself is not signed.");
  EXPECT_EQ(field(report, "dmgSignature")["status"], "warning");
  EXPECT_EQ(field(report, "fileGatekeeper")["value"],
            "Not assessed because the DMG is not signed.");
  // The notarized app inside still proves notarization.
  EXPECT_EQ(field(report, "notarization")["value"], "Apple notarized this release.");
  EXPECT_EQ(field(report, "notarization")["detail"], "App: notarized\nDMG: no notarization found");
  // T = 115; three warnings (DMG signature 5, DMG Gatekeeper 5, DMG ticket 5) earn half:
  // 107.5 / 115 = 93.5 -> 93.
  EXPECT_EQ(report["score"], 93);
  EXPECT_EQ(report["verdict"], "Platform Trusted");
}

TEST_F(InspectStandIns, NotarizedAppInSignedButUnnotarizedDMG) {
  const auto app = standIns.makeApp("Inner", true, true);
  const auto dmg = standIns.makeDMG("Inner", contentsWith(app), true, false);
  const auto [status, report] = inspect(dmg);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(field(report, "notarization")["status"], "ok");
  EXPECT_EQ(field(report, "notarization")["detail"], "App: notarized\nDMG: no notarization found");
  EXPECT_EQ(field(report, "fileStapled")["value"], "No ticket stapled to the DMG.");
}

TEST_F(InspectStandIns, DMGThatCannotBeMounted) {
  const auto dmg = standIns.work() / "Broken.dmg";
  std::ofstream(dmg) << "this is not a disk image";
  const auto [status, report] = inspect(dmg);
  EXPECT_EQ(status, 14);
  EXPECT_EQ(field(report, "mountability")["status"], "warning");
  EXPECT_EQ(field(report, "appBundle")["value"],
            "Could not be checked because the DMG did not mount.");
  EXPECT_EQ(field(report, "appSignature")["value"], "Unavailable because the DMG did not mount.");
  EXPECT_LE(report["score"].get<int>(), 39);
  EXPECT_EQ(report["verdict"], "Not Trusted");
}

// Inspections of one image at the same time each see it mounted: neither ejects it under the
// other, and both leave the attached images as they were.
TEST_F(InspectStandIns, ConcurrentInspectionsOfOneImageEachGetTheWholeReport) {
  const auto app = standIns.makeApp("Twice", true, true);
  const auto dmg = standIns.makeDMG("Twice", contentsWith(app), true, true);
  const auto attached = standIns.attachedImages();
  for (int round = 0; round < 3; ++round) {
    RunResult results[2];
    std::thread other([&] { results[1] = standIns.bosun({"--json", "inspect", dmg.string()}); });
    results[0] = standIns.bosun({"--json", "inspect", dmg.string()});
    other.join();
    for (const auto& result : results) {
      const auto lines = result.outputLines();
      ASSERT_FALSE(lines.empty()) << result.standardError;
      EXPECT_EQ(nlohmann::json::parse(lines.back())["score"], 100) << lines.back();
    }
  }
  EXPECT_EQ(standIns.attachedImages(), attached);
}

// Ctrl-C while the image is mounted: the mount the run made is detached, nothing is left running,
// and the tools the cancellation stopped make no report, only the cancellation.
TEST_F(InspectStandIns, CtrlCWhileMountedPrintsOnlyTheCancellationAndDetaches) {
  const auto app = standIns.makeApp("Stopped", true, true);
  const auto dmg = standIns.makeDMG("Stopped", contentsWith(app), true, true);
  const auto attached = standIns.attachedImages();
  const auto running = [](const std::string& part) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::ifstream stream(entry.path() / "cmdline", std::ios::binary);
      const std::string line((std::istreambuf_iterator<char>(stream)), {});
      if (line.find(part) != std::string::npos) found.push_back(std::stoi(name));
    }
    return found;
  };
  RunResult result;
  std::thread run([&] {
    result = standIns.bosun({"inspect", dmg.string()},
                            {{"MACSIM_SPCTL_DELAY", "60"}, {"MACSIM_SPCTL_WHEN", "execute"}});
  });
  // The app's Gatekeeper check runs inside the mounted volume: interrupt bosun there.
  std::vector<pid_t> bosun;
  for (int i = 0; i < 600 && bosun.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (running("Stopped.app").empty()) continue;
    for (const pid_t pid : running(dmg.string())) {
      std::error_code error;
      if (fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error) == BOSUN_BINARY)
        bosun.push_back(pid);
    }
  }
  ASSERT_EQ(bosun.size(), 1u) << "bosun never reached the mounted app";
  ::kill(bosun.front(), SIGINT);
  run.join();
  EXPECT_TRUE(result.exitedWith(130)) << result.standardError;
  EXPECT_EQ(result.standardOutput, "");
  const auto cancelling = result.standardError.find("! Cancelling…\n");
  ASSERT_NE(cancelling, std::string::npos) << result.standardError;
  EXPECT_EQ(result.standardError.substr(cancelling), "! Cancelling…\n✗ Cancelled.\n");
  EXPECT_EQ(standIns.attachedImages(), attached);
  EXPECT_TRUE(running(standIns.home().string()).empty()) << "a stand-in is still running";
}

// A mount the user made stays; one the run made that will not go is named as the run ends.
TEST_F(InspectStandIns, MountsTheUserMadeStayAndOnesThatWillNotGoAreNamed) {
  const auto app = standIns.makeApp("Mounted", true, true);
  const auto dmg = standIns.makeDMG("Mounted", contentsWith(app), true, true);
  const auto attach = standIns.toolOK("/usr/bin/hdiutil",
                                      {"attach", "-readonly", "-nobrowse", "-plist", dmg.string()});
  const auto start = attach.find("<key>mount-point</key>");
  ASSERT_NE(start, std::string::npos) << attach;
  const auto valueStart = attach.find("<string>", start) + 8;
  const fs::path mountPoint =
      attach.substr(valueStart, attach.find("</string>", valueStart) - valueStart);

  const auto [status, report] = inspect(dmg); // also checks that the image is still attached
  EXPECT_EQ(status, 0);
  EXPECT_EQ(report["score"], 100);
  const std::string gatekeeperDetail = field(report, "appGatekeeper")["detail"];
  EXPECT_NE(gatekeeperDetail.find((mountPoint / "Mounted.app").string()), std::string::npos)
      << gatekeeperDetail;
  EXPECT_TRUE(fs::exists(mountPoint / "Mounted.app"));
  standIns.toolOK("/usr/bin/hdiutil", {"detach", mountPoint.string(), "-force"});

  const auto attached = standIns.attachedImages();
  const auto stuck = standIns.bosun({"inspect", dmg.string()}, {{"MACSIM_STUCK_VOLUMES", "1"}});
  EXPECT_TRUE(stuck.exitedWith(0)) << stuck.standardError;
  EXPECT_TRUE(stuck.standardError.ends_with("› Ejecting the DMG…\n! Could not detach " +
                                            mountPoint.string() + ".\n"))
      << stuck.standardError;
  EXPECT_EQ(standIns.detachNamedIn(stuck.standardError), mountPoint.string());
  EXPECT_EQ(standIns.attachedImages(), attached);
}

TEST_F(InspectStandIns, AppWithDebuggingAndWithoutLibraryValidation) {
  const auto app =
      standIns.makeApp("Debuggable", true, false,
                       "<dict><key>com.apple.security.get-task-allow</key><true/>"
                       "<key>com.apple.security.cs.disable-library-validation</key><true/></dict>");
  const auto dmg = standIns.makeDMG("Debuggable", contentsWith(app), true, false);
  const auto [status, report] = inspect(dmg);
  const auto entitlements = field(report, "entitlements");
  EXPECT_EQ(entitlements["status"], "warning");
  EXPECT_EQ(entitlements["value"], "2 entitlements · not sandboxed · 2 relax security protections");
  const std::string detail = entitlements["detail"];
  EXPECT_EQ(detail.rfind("Debugging is allowed (get-task-allow).", 0), 0u) << detail;
  EXPECT_NE(detail.find("Relaxes Hardened Runtime protections: Library validation disabled."),
            std::string::npos);
  // Such an app is not notarized, so Gatekeeper rejects it: capped at 59, and the later
  // notarization cap gives the notice.
  EXPECT_EQ(status, 14);
  EXPECT_EQ(field(report, "appGatekeeper")["status"], "problem");
  EXPECT_EQ(report["score"], 59);
  EXPECT_EQ(report["notice"], "Score limited because notarization proof was not detected.");
}

TEST_F(InspectStandIns, HostileImageIsReadWithoutFollowingLinksOut) {
  // The only "app" is a link to a trusted app outside the image; names carry control characters;
  // thousands of files surround it.
  const auto outside = standIns.makeApp("Outside", true, true);
  const auto contents = standIns.work() / "hostile";
  fs::create_directories(contents / "many");
  for (int i = 0; i < 2000; ++i)
    std::ofstream(contents / "many" / ("file" + std::to_string(i))) << i;
  fs::create_directory_symlink(outside, contents / "Trusted.app");
  std::ofstream(contents / "evil\x1b[2Jname") << "x";
  const auto dmg = standIns.makeDMG("Hostile", contents, true, true);

  const auto [status, report] = inspect(dmg);
  EXPECT_EQ(status, 14);
  EXPECT_EQ(field(report, "appBundle")["value"], "No .app bundle was found inside this DMG.");
  EXPECT_EQ(report["app"], nullptr);
  const auto text = standIns.bosun({"--verbose", "inspect", dmg.string()});
  EXPECT_EQ(text.standardOutput.find('\x1b'), std::string::npos);
}

namespace {
class InspectStandInPackages : public InspectStandIns {
protected:
  void SetUp() override {
    InspectStandIns::SetUp();
    if (!IsSkipped() && !standIns.canBuildPackages())
      GTEST_SKIP() << "the stand-in tools of this build cannot build packages";
  }

  fs::path payloadWith(const fs::path& app) {
    const auto payload = standIns.work() / (app.stem().string() + "-payload");
    fs::create_directories(payload);
    fs::copy(app, payload / app.filename(), fs::copy_options::recursive);
    return payload;
  }

  fs::path scripts(const std::string& name, const std::string& postinstall) {
    const auto folder = standIns.work() / (name + "-scripts");
    fs::create_directories(folder);
    std::ofstream(folder / "postinstall") << postinstall;
    fs::permissions(folder / "postinstall", fs::perms::owner_all, fs::perm_options::add);
    return folder;
  }

  // Nothing of the expansion is left in the temporary folder.
  void expectNoExpansionLeft() {
    for (const auto& entry : fs::directory_iterator(standIns.home() / "tmp"))
      EXPECT_FALSE(entry.path().filename().string().starts_with("Halyard_PKG_")) << entry.path();
  }
};
} // namespace

TEST_F(InspectStandInPackages, SignedNotarizedStapledPackageWithoutScripts) {
  const auto app = standIns.makeApp("Quiet", true, true);
  const auto pkg = standIns.makePKG("Quiet", payloadWith(app));
  const auto [status, report] = inspect(pkg);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(report["kind"], "PKG");
  EXPECT_EQ(report["score"], 100);
  EXPECT_EQ(report["verdict"], "Platform Trusted");
  EXPECT_EQ(field(report, "installerScripts")["value"], "No installer scripts.");
  EXPECT_EQ(field(report, "identifier")["value"], "com.example.Quiet");
  EXPECT_EQ(field(report, "entitlements")["status"], "info"); // the app inside
  expectNoExpansionLeft();
}

TEST_F(InspectStandInPackages, PostinstallThatLoadsALaunchDaemon) {
  const auto app = standIns.makeApp("Daemon", true, true);
  const auto pkg = standIns.makePKG(
      "Daemon", payloadWith(app),
      scripts("Daemon", "#!/bin/sh\ncp x.plist /Library/LaunchDaemons/\nlaunchctl load x\n"));
  const auto [status, report] = inspect(pkg);
  EXPECT_EQ(status, 0);
  for (const auto* id : {"installerScripts", "privilegedCommands", "sensitiveActions"})
    EXPECT_EQ(field(report, id)["status"], "warning") << id;
  EXPECT_EQ(field(report, "installerScripts")["detail"], "postinstall");
  EXPECT_EQ(report["score"], 80);
  EXPECT_EQ(report["notice"], "Score limited to 80 because installer scripts need a closer look.");
  expectNoExpansionLeft();
}

TEST_F(InspectStandInPackages, HostilePackageIsInspectedSafely) {
  // An enormous script whose only privileged command is at its very end, a payload of thousands
  // of files with a link loop, and a script name with control characters.
  const auto payload = standIns.work() / "hostile-payload";
  fs::create_directories(payload / "many");
  for (int i = 0; i < 2000; ++i)
    std::ofstream(payload / "many" / ("f" + std::to_string(i))) << i;
  fs::create_directory_symlink(".", payload / "many" / "loop.app");
  const auto scriptFolder = scripts("hostile", "");
  {
    std::ofstream script(scriptFolder / "postinstall");
    const std::string filler(1 << 20, '#');
    for (int i = 0; i < 12; ++i)
      script << filler << '\n';
    script << "launchctl bootstrap system x\n";
  }
  std::ofstream(scriptFolder / "pre\x1b]0;owned\x07install") << "rm -rf /\n";

  const auto pkg = standIns.makePKG("Hostile", payload, scriptFolder, false);
  const auto [status, report] = inspect(pkg);
  EXPECT_EQ(report["app"], nullptr); // the link is not an app
  EXPECT_EQ(field(report, "internalVisibility")["status"], "ok");
  EXPECT_EQ(field(report, "installerScripts")["detail"], "postinstall");
  EXPECT_EQ(field(report, "privilegedCommands")["status"], "warning");
  EXPECT_EQ(field(report, "sensitiveActions")["status"], "ok");
  EXPECT_EQ(report["notice"], "Score limited to 80 because installer scripts need a closer look.");
  const auto text = standIns.bosun({"--verbose", "inspect", pkg.string()});
  EXPECT_EQ(text.standardOutput.find('\x1b'), std::string::npos);
  EXPECT_EQ(text.standardOutput.find('\x07'), std::string::npos);
  expectNoExpansionLeft();
}

TEST_F(InspectStandInPackages, PackageWithLinksOutOfItsFolder) {
  const auto payload = standIns.work() / "escape-payload";
  fs::create_directories(payload);
  fs::create_directory_symlink("/", payload / "Escape.app");
  const auto scriptFolder = scripts("escape", "echo hi\n");
  fs::create_symlink("/etc/passwd", scriptFolder / "preupgrade");

  const auto pkg = standIns.makePKG("Escape", payload, scriptFolder, false);
  const auto [status, report] = inspect(pkg);
  EXPECT_EQ(report["app"], nullptr);
  // The stand-in pkgutil refuses such links: nothing beyond the refusal is judged.
  EXPECT_EQ(field(report, "internalVisibility")["value"],
            "The package could not be fully expanded.");
  EXPECT_EQ(field(report, "installerScripts")["value"], "Scripts could not be inspected.");
  EXPECT_EQ(report["notice"], "Score limited to 80 because installer scripts need a closer look.");
  expectNoExpansionLeft();
}

// Paths are bytes: in a folder whose name is not UTF-8, notarize, verify and inspect treat an
// app, a DMG and a PKG as anywhere else, and leave nothing behind.
TEST_F(InspectStandInPackages, FolderWhoseNameIsNotUTF8) {
  const auto app = standIns.makeApp("Odd", true, true);
  const auto dmg = standIns.makeDMG("Odd", contentsWith(app), true, false);
  const auto pkg = standIns.makePKG("Odd", payloadWith(app), {}, false);
  const auto folder = standIns.work() / "w\xff";
  fs::create_directory(folder);
  for (const auto& file : {app, dmg, pkg})
    fs::rename(file, folder / file.filename());
  const auto attached = standIns.attachedImages();

  for (const auto* name : {"Odd.dmg", "Odd.pkg"}) {
    const auto file = folder / name;
    const auto notarized =
        standIns.bosun({"notarize", file.string(), "--profile", InspectionStandIns::profile});
    ASSERT_TRUE(notarized.exitedWith(0)) << notarized.standardError;
    EXPECT_EQ(notarized.standardOutput, file.string() + "\n");
    const auto [status, report] = inspect(file); // the digest and the images stay the same
    EXPECT_EQ(status, 0) << name;
    EXPECT_EQ(report["score"], 100) << name;
  }
  // What is verified, and a file of it whose digest must not change.
  const std::pair<fs::path, fs::path> checks[] = {
      {folder / "Odd.app", folder / "Odd.app" / "Contents" / "MacOS" / "Odd"},
      {folder / "Odd.dmg", folder / "Odd.dmg"},
      {folder / "Odd.pkg", folder / "Odd.pkg"}};
  for (const auto& [file, kept] : checks) {
    const auto digest = InspectionStandIns::digest(kept);
    const auto verified = standIns.bosun({"--json", "verify", file.string()});
    EXPECT_TRUE(verified.exitedWith(0)) << verified.standardOutput;
    EXPECT_TRUE(verified.outputIsJSONLines()) << verified.standardOutput;
    EXPECT_EQ(InspectionStandIns::digest(kept), digest) << kept;
  }
  EXPECT_EQ(standIns.attachedImages(), attached);
  EXPECT_TRUE(bosun::testing::noProcessNamingWithin({standIns.root().string()}));
}
