#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "core/Inspection/AppBundleInfo.hpp"
#include "core/Inspection/AppBundleLocator.hpp"
#include "core/Inspection/InspectionFileFields.hpp"
#include "core/Inspection/InstallerScriptScanner.hpp"
#include "core/Inspection/PackageIdentifierFinder.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {
void write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

InstallerScriptScanner::Matches scanned(const std::string& text) {
  std::istringstream stream(text);
  return InstallerScriptScanner::scanText(stream);
}

std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body +
         "\n</plist>\n";
}
} // namespace

TEST(InstallerScriptScannerTest, PatternsMatchTheLowerCasedScript) {
  auto matches = scanned("#!/bin/sh\ncp x.plist /Library/LaunchDaemons/\n");
  EXPECT_TRUE(matches.privileged); // "/library/"
  EXPECT_TRUE(matches.sensitive);  // "launchdaemons"
  matches = scanned("echo hello\nexit 0\n");
  EXPECT_FALSE(matches.privileged);
  EXPECT_FALSE(matches.sensitive);
  // The trailing blank belongs to the pattern: "sudo" at the very end does not match.
  EXPECT_FALSE(scanned("echo run with sudo").privileged);
  EXPECT_TRUE(scanned("SUDO rm x").privileged);
  EXPECT_TRUE(scanned("/usr/bin/Killall Dock").sensitive);
}

TEST(InstallerScriptScannerTest, PatternSplitAcrossReadChunksIsFound) {
  for (const std::size_t offset : {65536u - 4u, 65536u - 1u, 65536u, 3u * 65536u - 7u}) {
    std::string text(offset, 'x');
    text += "launchctl load";
    EXPECT_TRUE(scanned(text).privileged) << offset;
    EXPECT_FALSE(scanned(text).sensitive) << offset;
  }
}

// The longest pattern beginning one byte short of its whole length before a chunk boundary: only
// its last byte is read with the next chunk, so the carried overlap must be exactly long enough.
TEST(InstallerScriptScannerTest, LongestPatternEndingOneByteIntoTheNextChunk) {
  std::string_view longest;
  bool privileged = false;
  for (const bool group : {true, false})
    for (const auto pattern : group ? InstallerScriptScanner::privilegedPatterns()
                                    : InstallerScriptScanner::sensitivePatterns())
      if (pattern.size() > longest.size()) {
        longest = pattern;
        privileged = group;
      }
  std::string text(65536 - (longest.size() - 1), 'x');
  text += longest;
  const auto matches = scanned(text);
  EXPECT_EQ(privileged ? matches.privileged : matches.sensitive, true) << longest;
}

TEST(InstallerScriptScannerTest, FindsScriptsWithoutFollowingLinks) {
  TemporaryFolder outside("ScannerOutside_");
  write(outside.path() / "secret", "launchctl defaults write");
  TemporaryFolder folder("ScannerTest_");
  const auto root = folder.path();
  write(root / "A.pkg/Scripts/PREINSTALL", "echo hi\n");
  write(root / "B.pkg/Scripts/postinstall", "installer -pkg x\n");
  write(root / "B.pkg/Scripts/helper.sh", "killall Dock\n"); // not an installer script
  write(root / ".hidden/postinstall", "csrutil disable\n");
  fs::create_directories(root / "C.pkg/Scripts/postupgrade"); // a folder, not a script
  fs::create_symlink(outside.path() / "secret", root / "C.pkg/preupgrade");
  fs::create_directory_symlink(outside.path(), root / "C.pkg/linked");

  const auto scan = InstallerScriptScanner::scan(root);
  EXPECT_EQ(scan.names, (std::vector<std::string>{"PREINSTALL", "postinstall", "preupgrade"}));
  EXPECT_TRUE(scan.privileged);
  EXPECT_FALSE(scan.sensitive);
}

TEST(PackageIdentifierFinderTest, Patterns) {
  using F = PackageIdentifierFinder;
  EXPECT_EQ(F::inDistribution("<installer-gui-script>\n<pkg-ref id=\"com.example.app\" "
                              "version=\"1.0\">#app.pkg</pkg-ref>"),
            "com.example.app");
  EXPECT_EQ(F::inDistribution("<pkg-ref\n  auth=\"root\" id = \"com.example.two\"/>"),
            "com.example.two");
  EXPECT_EQ(F::inDistribution("<pkg-ref packageid=\"nope\"/>"), std::nullopt);
  EXPECT_EQ(F::inDistribution("<pkg-ref/> id=\"after-the-tag\""), std::nullopt);
  EXPECT_EQ(F::inDistribution("<pkg-ref version=\"1\">x</pkg-ref><pkg-ref id=\"second\"/>"),
            "second");
  EXPECT_EQ(F::inPackageInfo("<pkg-info format-version=\"2\" identifier=\"com.example.pkg\" "
                             "version=\"1\">"),
            "com.example.pkg");
  EXPECT_EQ(F::inPackageInfo("<pkg-info xidentifier=\"x\" identifiers=\"y\">"), std::nullopt);
}

TEST(PackageIdentifierFinderTest, DistributionWinsOverPackageInfo) {
  TemporaryFolder folder("IdentifierTest_");
  write(folder.path() / "A.pkg/PackageInfo", "<pkg-info identifier=\"com.example.component\">");
  EXPECT_EQ(PackageIdentifierFinder::find(folder.path()), "com.example.component");
  write(folder.path() / "Distribution", "<pkg-ref id=\"com.example.product\"/>");
  EXPECT_EQ(PackageIdentifierFinder::find(folder.path()), "com.example.product");
}

TEST(PackageIdentifierFinderTest, HostileDistributionEndsQuickly) {
  // Many unclosed tags make the pattern backtrack; the matcher's limit ends the search.
  std::string text;
  while (text.size() < 1024 * 1024)
    text += "<pkg-ref id id id id ";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(PackageIdentifierFinder::inDistribution(text), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST(AppBundleLocatorTest, TopLevelFirstThenWalk) {
  TemporaryFolder folder("LocatorTest_");
  const auto root = folder.path();
  fs::create_directories(root / "Nested/Deep/Inner.app/Contents");
  EXPECT_EQ(AppBundleLocator::find(root), root / "Nested/Deep/Inner.app");
  fs::create_directories(root / "Top.APP");
  EXPECT_EQ(AppBundleLocator::find(root), root / "Top.APP");
}

TEST(AppBundleLocatorTest, IgnoresLinksHiddenEntriesFilesAndOtherBundles) {
  TemporaryFolder outside("LocatorOutside_");
  fs::create_directories(outside.path() / "Elsewhere.app/Contents");
  TemporaryFolder folder("LocatorTest_");
  const auto root = folder.path();
  fs::create_directory_symlink(outside.path() / "Elsewhere.app", root / "Linked.app");
  fs::create_directory_symlink(outside.path(), root / "Applications");
  write(root / "File.app", "not a folder");
  fs::create_directories(root / ".hidden/Hidden.app");
  fs::create_directories(root / "Kit.framework/Resources/Helper.app");
  EXPECT_EQ(AppBundleLocator::find(root), std::nullopt);
}

TEST(AppBundleInfoTest, ReadsStringsAndRefusesUnsafeExecutableNames) {
  TemporaryFolder folder("BundleInfoTest_");
  const auto app = folder.path() / "X.app";
  write(app / "Contents/Info.plist",
        plist("<dict><key>CFBundleShortVersionString</key><string>1.2</string>"
              "<key>LSMinimumSystemVersion</key><integer>13</integer>"
              "<key>CFBundleExecutable</key><string>X</string></dict>"));
  const auto info = AppBundleInfo::read(app);
  EXPECT_EQ(info, (AppBundleInfo{"1.2", std::nullopt, "X"}));
  EXPECT_EQ(info.executablePath(app), app / "Contents/MacOS/X");
  EXPECT_EQ(
      (AppBundleInfo{std::nullopt, std::nullopt, "../../../../etc/passwd"}.executablePath(app)),
      std::nullopt);
  EXPECT_EQ((AppBundleInfo{std::nullopt, std::nullopt, ".."}.executablePath(app)), std::nullopt);

  // An Info.plist that is a link is not read.
  const auto linked = folder.path() / "L.app";
  fs::create_directories(linked / "Contents");
  fs::create_symlink(app / "Contents/Info.plist", linked / "Contents/Info.plist");
  EXPECT_EQ(AppBundleInfo::read(linked), AppBundleInfo{});
}

TEST(InspectionFileFieldsTest, SizesForPeople) {
  using F = InspectionFileFields;
  EXPECT_EQ(F::formattedSize(0), "0 bytes");
  EXPECT_EQ(F::formattedSize(1), "1 byte");
  EXPECT_EQ(F::formattedSize(999), "999 bytes");
  EXPECT_EQ(F::formattedSize(48'400), "48 KB");
  EXPECT_EQ(F::formattedSize(12'345'678), "12.3 MB");
  EXPECT_EQ(F::formattedSize(999'999), "1.0 MB");
  EXPECT_EQ(F::formattedSize(1'250'000'000), "1.25 GB");
}

TEST(InspectionFileFieldsTest, ReadableAndUnreadableFiles) {
  TemporaryFolder folder("FileFieldsTest_");
  const auto file = folder.path() / "X.dmg";
  write(file, "abc");
  std::vector<std::string> quarantineCall;
  const auto quarantined = [&](const fs::path& executable, const std::vector<std::string>& args,
                               double, const std::optional<std::string>&) {
    quarantineCall = args;
    quarantineCall.insert(quarantineCall.begin(), executable.string());
    return ProcessOutcome{0, "0083;65f0;Safari;\n", ""};
  };
  const auto fields = InspectionFileFields::make(file, InspectionFileKind::dmg, quarantined);
  EXPECT_TRUE(fields.readable);
  ASSERT_EQ(fields.fields.size(), 4u);
  EXPECT_EQ(fields.fields[0].value(), "DMG is present and readable.");
  EXPECT_EQ(fields.fields[0].detail(), file.string());
  EXPECT_EQ(fields.fields[1].value(), "3 bytes");
  EXPECT_EQ(fields.fields[2].value(),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(fields.fields[3].value(), "Present (downloaded from the internet)");
  EXPECT_EQ(fields.fields[3].detail(), "0083;65f0;Safari;");
  EXPECT_EQ(quarantineCall, (std::vector<std::string>{"/usr/bin/xattr", "-p",
                                                      "com.apple.quarantine", file.string()}));

  // A folder where the package should be cannot be read (this also holds when running as root).
  const auto notAFile = folder.path() / "Y.pkg";
  fs::create_directories(notAFile);
  const auto absent = [](const fs::path&, const std::vector<std::string>&, double,
                         const std::optional<std::string>&) {
    return ProcessOutcome{1, "", "xattr: No such xattr: com.apple.quarantine"};
  };
  const auto unreadable = InspectionFileFields::make(notAFile, InspectionFileKind::pkg, absent);
  EXPECT_FALSE(unreadable.readable);
  EXPECT_EQ(unreadable.fields[0].value(), "PKG could not be read.");
  EXPECT_EQ(unreadable.fields[0].status(), InspectionStatus::fail);
  EXPECT_EQ(unreadable.fields[1].value(), "Unavailable");
  EXPECT_EQ(unreadable.fields[2].value(), "Could not generate the file hash.");
  EXPECT_EQ(unreadable.fields[3].value(), "Not present");
  EXPECT_EQ(unreadable.fields[3].detail(), std::nullopt);
}
