#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "core/Inspection/InspectionService.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {
using ID = InspectionFieldID;
using S = InspectionStatus;

void write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body +
         "\n</plist>\n";
}

// Plays the tools: answers are chosen by the tool and its first arguments, every call is kept.
struct ScriptedTools {
  std::map<std::string, ProcessOutcome> answers; // "codesign --verify --deep" -> outcome
  std::vector<std::vector<std::string>> calls;
  std::function<void(const std::vector<std::string>&)> onExpand;

  InspectionRunner::Function runner() {
    return [this](const fs::path& executable, const std::vector<std::string>& arguments, double,
                  const std::optional<std::string>&) {
      std::vector<std::string> call{executable.filename().string()};
      call.insert(call.end(), arguments.begin(), arguments.end());
      calls.push_back(call);
      if (call[0] == "pkgutil" && call[1] == "--expand-full" && onExpand) onExpand(call);
      // The longest key that is a prefix of the call wins.
      std::string joined;
      std::optional<ProcessOutcome> found;
      for (const auto& part : call) {
        joined += (joined.empty() ? "" : " ") + part;
        if (const auto answer = answers.find(joined); answer != answers.end())
          found = answer->second;
      }
      return found.value_or(ProcessOutcome{1, "", "unexpected call"});
    };
  }

  bool called(const std::string& tool, const std::string& first) const {
    for (const auto& call : calls) {
      if (call[0] == tool && call.size() > 1 && call[1] == first) return true;
    }
    return false;
  }
};

std::vector<ID> ids(const InspectionCategory& category) {
  std::vector<ID> result;
  for (const auto& field : category.fields)
    result.push_back(field.id());
  return result;
}

const char* appDetails = "Identifier=com.example.x\nflags=0x10000(runtime)\n"
                         "Authority=Developer ID Application: Example Corp (A1B2C3D4E5)\n"
                         "Timestamp=6 Dec 2026 at 10:15:02\nTeamIdentifier=A1B2C3D4E5\n";

// A notarized, stapled DMG with a notarized app, mounted by the service at `volume`.
ScriptedTools perfectDMGTools(const fs::path& volume) {
  ScriptedTools tools;
  const auto attach = plist("<dict><key>system-entities</key><array><dict><key>dev-entry</key>"
                            "<string>/dev/disk4s1</string><key>mount-point</key><string>" +
                            volume.string() + "</string></dict></array></dict>");
  tools.answers = {
      {"xattr", {1, "", ""}},
      {"codesign --verify", {0, "", "valid on disk"}},
      {"codesign -dv", {0, "", appDetails}},
      {"codesign -d --entitlements", {0, "", ""}},
      {"spctl", {0, "", "accepted\nsource=Notarized Developer ID"}},
      {"xcrun stapler validate", {0, "The validate action worked!", ""}},
      {"hdiutil info", {0, plist("<dict><key>images</key><array/></dict>"), ""}},
      {"hdiutil attach", {0, attach, ""}},
      {"hdiutil detach", {0, "\"disk4\" ejected.", ""}},
      {"lipo", {0, "x86_64 arm64\n", ""}},
  };
  return tools;
}

void makeApp(const fs::path& volume) {
  write(volume / "My App.app/Contents/Info.plist",
        plist("<dict><key>CFBundleShortVersionString</key><string>2.0</string>"
              "<key>CFBundleExecutable</key><string>My App</string></dict>"));
}
} // namespace

TEST(InspectionServiceTest, PerfectDMGMountedAndEjectedByTheService) {
  TemporaryFolder folder("ServiceTest_");
  const auto dmg = folder.path() / "My App.dmg";
  write(dmg, "image");
  const auto volume = folder.path() / "Volume";
  makeApp(volume);
  auto tools = perfectDMGTools(volume);
  std::vector<std::string> progress;

  const auto report = InspectionService::inspect(
      dmg, [&](const std::string& message) { progress.push_back(message); }, tools.runner());

  EXPECT_EQ(report.score(), 100);
  EXPECT_EQ(report.verdict(), InspectionVerdict::trusted);
  EXPECT_EQ(report.scoreNotice(), std::nullopt);
  EXPECT_EQ(report.kind(), InspectionFileKind::dmg);
  EXPECT_EQ(report.appName(), "My App.app");
  ASSERT_EQ(report.categories().size(), 4u);
  EXPECT_EQ(ids(report.categories()[0]),
            (std::vector<ID>{ID::accessibility, ID::fileSize, ID::sha256, ID::quarantine}));
  EXPECT_EQ(ids(report.categories()[1]),
            (std::vector<ID>{ID::mountability, ID::appBundle, ID::appVersion, ID::minimumSystem,
                             ID::architectures, ID::windowBackground, ID::iconPlacement}));
  EXPECT_EQ(
      ids(report.categories()[2]),
      (std::vector<ID>{ID::dmgSignature, ID::appSignature, ID::developer, ID::teamIdentifier,
                       ID::identifier, ID::timestamp, ID::hardenedRuntime, ID::entitlements}));
  EXPECT_EQ(ids(report.categories()[3]),
            (std::vector<ID>{ID::appGatekeeper, ID::appStapled, ID::fileGatekeeper,
                             ID::notarization, ID::fileStapled}));
  EXPECT_EQ(report.categories()[3].title, "Gatekeeper & Notarization");
  EXPECT_EQ(report.field(ID::architectures)->value(), "Intel (x86_64), Apple silicon (arm64)");
  EXPECT_EQ(progress,
            (std::vector<std::string>{"Reading file…", "Checking the DMG signature…",
                                      "Checking Gatekeeper and the stapled ticket for the DMG…",
                                      "Mounting the DMG read-only…", "Reading the window layout…",
                                      "Verifying the app signature (deep and strict)…",
                                      "Reading the app's entitlements…",
                                      "Asking Gatekeeper about the app…", "Ejecting the DMG…"}));
  EXPECT_EQ(tools.calls.back(),
            (std::vector<std::string>{"hdiutil", "detach", volume.string(), "-force"}));
}

TEST(InspectionServiceTest, EmptyVolumeHasNoAppAndIsStillEjected) {
  TemporaryFolder folder("ServiceTest_");
  const auto dmg = folder.path() / "Empty.dmg";
  write(dmg, "image");
  const auto volume = folder.path() / "Volume";
  fs::create_directories(volume / "Documents");
  auto tools = perfectDMGTools(volume);
  const auto report = InspectionService::inspect(
      dmg, [](const std::string&) {}, tools.runner());
  EXPECT_EQ(report.field(ID::appBundle)->value(), "No .app bundle was found inside this DMG.");
  EXPECT_EQ(report.field(ID::appSignature)->value(),
            "Unavailable because no app bundle was found.");
  // Capped at 39 by the missing app; the later Gatekeeper cap still gives the notice.
  EXPECT_EQ(report.score(), 39);
  EXPECT_EQ(report.scoreNotice(), "Score limited because Gatekeeper did not accept this file.");
  EXPECT_TRUE(tools.called("hdiutil", "detach"));
}

// An image that attaches without a mounted volume still holds a device: the service releases it
// through its whole-disk entry.
TEST(InspectionServiceTest, ImageAttachedWithoutAVolumeIsStillDetached) {
  TemporaryFolder folder("ServiceTest_");
  const auto dmg = folder.path() / "Unmountable.dmg";
  write(dmg, "image");
  auto tools = perfectDMGTools(folder.path() / "Volume");
  tools.answers["hdiutil attach"] = {
      0,
      plist("<dict><key>system-entities</key><array><dict><key>content-hint</key>"
            "<string>GUID_partition_scheme</string><key>dev-entry</key><string>/dev/disk7</string>"
            "</dict><dict><key>dev-entry</key><string>/dev/disk7s1</string></dict></array></dict>"),
      ""};
  const auto report = InspectionService::inspect(
      dmg, [](const std::string&) {}, tools.runner());
  EXPECT_EQ(report.field(ID::appBundle)->value(),
            "Could not be checked because the DMG did not mount.");
  const std::vector<std::string> detach{"hdiutil", "detach", "/dev/disk7", "-force"};
  EXPECT_NE(std::find(tools.calls.begin(), tools.calls.end(), detach), tools.calls.end());
}

namespace {
ScriptedTools signedPackageTools() {
  ScriptedTools tools;
  tools.answers = {
      {"xattr", {1, "", ""}},
      {"pkgutil --check-signature",
       {0,
        "Package \"X.pkg\":\n   Status: signed by a developer certificate issued by Apple\n"
        "   Signed with a trusted timestamp on: 2026-12-06 10:15:02 +0000\n"
        "   Certificate Chain:\n    1. Developer ID Installer: Example Corp (A1B2C3D4E5)\n",
        ""}},
      {"spctl", {0, "", "X.pkg: accepted\nsource=Notarized Developer ID"}},
      {"xcrun stapler validate", {0, "The validate action worked!", ""}},
      {"pkgutil --expand-full", {0, "", ""}},
      {"codesign -d --entitlements",
       {0, plist("<dict><key>com.apple.security.get-task-allow</key><true/></dict>"), ""}},
  };
  return tools;
}
} // namespace

TEST(InspectionServiceTest, PackageWithRiskyPostinstallAndAnApp) {
  TemporaryFolder folder("ServiceTest_");
  const auto pkg = folder.path() / "X.PKG";
  write(pkg, "xar!");
  auto tools = signedPackageTools();
  fs::path expansion;
  tools.onExpand = [&](const std::vector<std::string>& call) {
    expansion = call[3];
    EXPECT_FALSE(fs::exists(expansion)); // pkgutil creates the folder itself
    EXPECT_TRUE(expansion.filename().string().starts_with("Halyard_PKG_"));
    write(expansion / "Distribution", "<pkg-ref id=\"com.example.x.pkg\"/>");
    write(expansion / "x.pkg/Scripts/postinstall",
          "#!/bin/sh\nlaunchctl load /Library/LaunchDaemons/com.example.plist\n");
    fs::create_directories(expansion / "x.pkg/Payload/Applications/X.app/Contents");
  };
  std::vector<std::string> progress;
  const auto report = InspectionService::inspect(
      pkg, [&](const std::string& message) { progress.push_back(message); }, tools.runner());

  EXPECT_EQ(report.kind(), InspectionFileKind::pkg);
  EXPECT_FALSE(expansion.empty());
  EXPECT_FALSE(fs::exists(expansion)); // removed when the inspection ends
  ASSERT_EQ(report.categories().size(), 5u);
  EXPECT_EQ(ids(report.categories()[1]), (std::vector<ID>{ID::identifier, ID::internalVisibility}));
  EXPECT_EQ(ids(report.categories()[2]),
            (std::vector<ID>{ID::packageSignature, ID::developer, ID::teamIdentifier, ID::timestamp,
                             ID::entitlements}));
  EXPECT_EQ(ids(report.categories()[3]),
            (std::vector<ID>{ID::notarization, ID::fileGatekeeper, ID::fileStapled}));
  EXPECT_EQ(ids(report.categories()[4]),
            (std::vector<ID>{ID::installerScripts, ID::privilegedCommands, ID::sensitiveActions}));
  EXPECT_EQ(report.field(ID::identifier)->value(), "com.example.x.pkg");
  EXPECT_EQ(report.field(ID::entitlements)->status(), S::warning);
  EXPECT_EQ(report.appName(), "X.app");
  for (const auto id : {ID::installerScripts, ID::privilegedCommands, ID::sensitiveActions})
    EXPECT_EQ(report.field(id)->status(), S::warning);
  EXPECT_EQ(report.score(), 80);
  EXPECT_EQ(report.scoreNotice(),
            "Score limited to 80 because installer scripts need a closer look.");
  EXPECT_EQ(progress, (std::vector<std::string>{"Reading file…", "Checking the package signature…",
                                                "Asking Gatekeeper about the package…",
                                                "Looking inside the package…",
                                                "Reading the app's entitlements…"}));
}
