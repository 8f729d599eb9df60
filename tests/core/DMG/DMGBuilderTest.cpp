// Whole DMG builds under the stand-in tools, taken apart again with the stand-ins' own hdiutil
// and diskutil. Every build test ends by checking that no image is left attached and that the
// temporary directory (where the workspace lives) is empty.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/DMG/DMGBuilder.hpp"
#include "core/DMG/VolumeIcon.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/CancellationError.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "support/StandInRoot.hpp"

// The independent .DS_Store reader of the Finder tests, compiled into this program too.
#include "core/Finder/DSStoreTestReader.cpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using bosun::testing::StandInRoot;

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Type, permissions, link target and bytes of every item below `root`, one line each.
std::vector<std::string> tree(const fs::path& root) {
  std::vector<std::string> lines;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    struct stat info {};
    ::lstat(entry.path().c_str(), &info);
    std::string line = entry.path().lexically_relative(root).string() + " " +
                       std::to_string(info.st_mode & 07777) + " ";
    if (entry.is_symlink())
      line += "-> " + fs::read_symlink(entry.path()).string();
    else if (entry.is_regular_file())
      line += bosun::testing::fileContents(entry.path());
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

std::string repeated(const std::string& text, int times) {
  std::string result;
  while (times-- > 0)
    result += text;
  return result;
}

LicenseAgreement englishAgreement() {
  StyledText text;
  text.append("You may use this software.");
  return LicenseAgreement{
      {LicenseLocalization{LicenseLanguage::englishUS(), {LicenseDocument{"Terms", text}}}}};
}

constexpr const char* fallbackNote = "The modern disk image tools (diskutil image) failed: ";

const std::vector<std::string> plainStatuses{
    "Preparing workspace…", "Mounting…",    "Copying files…", "Styling window…",
    "Finalizing…",          "Compressing…", "Saving…"};

class DMGBuilderTest : public ::testing::Test {
protected:
  void SetUp() override {
    // The modern tools need system 27 under the stand-in root.
    stand_.macsim({"init", stand_.root().string(), "--macos", "27.0"});
    fs::create_directories(out());
    HalyardCoreLog::note = [this](const std::string& text) { notes.push_back(text); };
  }
  void TearDown() override {
    HalyardCoreLog::note = nullptr;
    EXPECT_EQ(attachedImages(), "") << "an image was left attached";
    EXPECT_TRUE(fs::is_empty(temporary())) << "the workspace was left behind";
  }
  void set(const std::string& name, const std::string& value) { stand_.set(name, value); }

  fs::path temporary() const { return stand_.temporary(); }
  fs::path out() const { return stand_.work() / "out"; }

  // The image paths `hdiutil info -plist` lists.
  std::string attachedImages() const {
    const auto info = stand_.toolOK("/usr/bin/hdiutil", {"info", "-plist"});
    std::string images;
    for (auto at = info.find("<key>image-path</key>"); at != std::string::npos;
         at = info.find("<key>image-path</key>", at + 1))
      images += info.substr(at, info.find("</string>", at) - at) + "\n";
    return images;
  }
  // The value of the "KEY: value" line a tool prints about an image.
  std::string infoValue(const std::string& tool, const std::vector<std::string>& arguments,
                        const std::string& key) const {
    const auto info = "\n" + stand_.toolOK(tool, arguments);
    const auto at = info.find("\n" + key + ": ") + key.size() + 3;
    return info.substr(at, info.find('\n', at) - at);
  }
  std::string imageFormat(const fs::path& image) const {
    return infoValue("/usr/bin/hdiutil", {"imageinfo", image.string()}, "Format");
  }
  std::string fileSystem(const fs::path& image) const {
    return infoValue("/usr/sbin/diskutil", {"image", "info", image.string()}, "File System");
  }

  DMGBuildRequest request(const std::string& name = "Demo") const {
    DMGBuildRequest request;
    request.dmgName = name;
    request.arrowSymbol = "arrow.right";
    request.installerWindowSize = {800, 500};
    request.compression = DMGCompressionFormat::zlib;
    return request;
  }

  // Builds and returns the statuses; notes are collected in `notes`.
  std::vector<std::string> build(const fs::path& app, const fs::path& output,
                                 const DMGBuildRequest& request, bool modern,
                                 const LicenseAgreement& agreement = LicenseAgreement::none(),
                                 DMGStyling styling = DMGStyling::finderLayoutFile) {
    std::vector<std::string> statuses;
    DMGBuildHooks hooks;
    hooks.status = [&](const std::string& text) { statuses.push_back(text); };
    DMGBuilder::build(app, "Demo", output, request, agreement, modern, styling, hooks);
    return statuses;
  }

  long notesStartingWith(const std::string& prefix) const {
    return std::count_if(notes.begin(), notes.end(),
                         [&](const std::string& text) { return text.rfind(prefix, 0) == 0; });
  }

  bosun::testing::StandInRootInForce stand_;
  std::vector<std::string> notes;
};

TEST(DMGBuilderRules, VolumeNamesOutputPathsAndImageSizes) {
  const std::pair<std::string, std::string> names[] = {
      {"  My App.DMG ", "My App"},
      {"a:b/c", "abc"},
      {"/\\:\"<>|?*", "Installer"},
      {"My  \t  App\n", "My App"},
      {repeated("x", 40), repeated("x", 27)},
      {repeated("y", 28) + ".dmg", repeated("y", 27)},
      // Characters, not bytes: 30 two-byte letters keep 27 letters.
      {repeated("é", 30), repeated("é", 27)},
  };
  for (const auto& [name, expected] : names)
    EXPECT_EQ(DMGBuilder::volumeName(name), expected) << name;
  EXPECT_EQ(DMGBuilder::sanitizeLabel(" a:b  c.dmg "), "ab c.dmg");

  const std::pair<const char*, const char*> outputs[] = {
      {"out/App.zip", "out/App.dmg"}, {"out/App.DMG", "out/App.DMG"}, {"out/App", "out/App.dmg"}};
  for (const auto& [given, expected] : outputs)
    EXPECT_EQ(DMGBuilder::normalizedOutputURL(given), fs::path(expected)) << given;

  // ceil((A × 1.2 + 60 MiB) / 1 MiB), at least 120.
  const std::pair<std::uint64_t, long long> sizes[] = {
      {10'000'000, 120}, {52'428'800, 120}, {52'428'801, 121}, {524'288'000, 660}};
  for (const auto& [bytes, megabytes] : sizes)
    EXPECT_EQ(DMGBuilder::imageSizeMB(bytes), megabytes) << bytes;
}

TEST(DMGBuilderRules, FolderSizeSkipsHiddenItemsAndNeverFollowsLinks) {
  TemporaryFolder folder("DMGBuilderSize_");
  const fs::path app = folder.path() / "App.app";
  fs::create_directories(app / "Contents" / ".hidden");
  writeFile(app / "Contents" / "a", std::string(100, 'a'));
  writeFile(app / "Contents" / ".DS_Store", std::string(1000, 'x'));
  writeFile(app / "Contents" / ".hidden" / "b", std::string(1000, 'b'));
  writeFile(folder.path() / "outside", std::string(5000, 'o'));
  fs::create_symlink("../../outside", app / "Contents" / "link");
  fs::create_symlink("..", app / "Contents" / "loop");
  // 100 bytes of file, and the links as themselves: "../../outside" and "..".
  EXPECT_EQ(DMGBuilder::folderSizeBytes(app), 100u + 13u + 2u);
}

TEST(DMGBuilderRules, VolumeIconComesOnlyFromTheAppsOwnIconFile) {
  TemporaryFolder folder("DMGBuilderIcon_");
  const fs::path app = folder.path() / "App.app";
  const fs::path resources = app / "Contents" / "Resources";
  fs::create_directories(resources);
  const std::string icon = std::string("icns\0\0\0\x10", 8) + "iconbody";
  writeFile(resources / "AppIcon.icns", icon);
  writeFile(resources / "Fake.icns", "\x89PNG....");
  writeFile(folder.path() / "Outside.icns", icon);
  fs::create_symlink("../../../Outside.icns", resources / "Link.icns");
  const std::pair<std::string, std::string> names[] = {
      {"AppIcon", "AppIcon.icns"},
      {" AppIcon.icns ", "AppIcon.icns"},
      {"../../../Outside.icns", ""}, // a path out of the bundle is no icon name
      {"Link", ""},                  // nor a link, wherever it leads
      {"Fake", ""},                  // nor a file that is no icon file
      {"Missing", ""},
      {"", ""},
  };
  for (const auto& [name, expected] : names) {
    writeFile(app / "Contents" / "Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIconFile</key>"
              "<string>" +
                  name + "</string></dict></plist>");
    const auto found = VolumeIcon::appIconFile(app);
    EXPECT_EQ(found ? found->filename().string() : "", expected) << name;
  }

  // Bytes 8 and 9 are the Finder flags: 0x0400 joins the flags already there.
  EXPECT_EQ(VolumeIcon::withCustomIconFlag(""),
            std::string(8, '\0') + "\x04" + std::string(23, '\0'));
  EXPECT_EQ(VolumeIcon::withCustomIconFlag(std::string(40, '\x11')),
            std::string(8, '\x11') + "\x15\x11" + std::string(22, '\x11'));
}

// Read back from the finished image with the stand-ins' own hdiutil and xattr, for both tool
// families; without the request the volume has neither the file nor the flag.
TEST_F(DMGBuilderTest, VolumeIconIsAHiddenFileAndAFlagOfTheVolumesRoot) {
  const fs::path app = stand_.makeApp("Demo");
  const std::string icon = std::string("icns\0\0\0\x10", 8) + "iconbody";
  writeFile(app / "Contents" / "Resources" / "AppIcon.icns", icon);
  const std::string flagged = "00 00 00 00 00 00 00 00 04 00 00 00 00 00 00 00\n"
                              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n";
  for (const bool modern : {false, true}) {
    for (const bool withIcon : {true, false}) {
      SCOPED_TRACE(std::string(modern ? "modern" : "legacy") + (withIcon ? " icon" : " none"));
      auto demo = request();
      if (withIcon) demo.volumeIconURL = app / "Contents" / "Resources" / "AppIcon.icns";
      const fs::path output = out() / (std::to_string(modern) + std::to_string(withIcon) + ".dmg");
      EXPECT_EQ(build(app, output, demo, modern), plainStatuses);
      const auto volume = stand_.attach(output);
      const auto finderInfo = stand_.tool(
          "/usr/bin/xattr", {"-px", "com.apple.FinderInfo", volume.mountPoint.string()});
      if (withIcon) {
        EXPECT_EQ(bosun::testing::fileContents(volume.mountPoint / ".VolumeIcon.icns"), icon);
        EXPECT_EQ(finderInfo.standardOutput, flagged);
      } else {
        EXPECT_FALSE(fs::exists(volume.mountPoint / ".VolumeIcon.icns"));
        EXPECT_EQ(finderInfo.status, 1);
      }
      stand_.toolOK("/usr/bin/hdiutil", {"detach", volume.device});
    }
  }
}

TEST_F(DMGBuilderTest, EachEngineBuildsTheDesignedVolume) {
  const fs::path app = stand_.makeApp("Demo");
  // A framework laid out with links, a link out of the bundle, and restrictive permissions.
  const fs::path framework = app / "Contents" / "Frameworks" / "Kit.framework";
  fs::create_directories(framework / "Versions" / "A");
  writeFile(framework / "Versions" / "A" / "Kit", "kit code");
  fs::create_symlink("A", framework / "Versions" / "Current");
  fs::create_symlink("Versions/Current/Kit", framework / "Kit");
  writeFile(stand_.work() / "secret", "outside the bundle");
  fs::create_symlink((stand_.work() / "secret").string(), app / "Contents" / "Resources" / "ext");
  fs::permissions(app / "Contents" / "Resources" / "readme.txt", fs::perms::owner_read);

  for (const bool modern : {false, true}) {
    SCOPED_TRACE(modern ? "modern" : "legacy");
    notes.clear();
    const fs::path output = out() / (modern ? "Modern.dmg" : "Legacy.dmg");
    // The extension rule: the image goes to the .dmg path.
    const auto statuses = build(app, output.parent_path() / (output.stem().string() + ".zip"),
                                request("  Demo Installer.DMG "), modern);
    EXPECT_EQ(statuses, plainStatuses);
    EXPECT_EQ(notes,
              std::vector<std::string>{"Finder layout written to .DS_Store for Demo Installer"});
    EXPECT_EQ(fileSystem(output), modern ? "APFS" : "HFS+");
    EXPECT_EQ(imageFormat(output), "UDZO");

    const auto volume = stand_.attach(output);
    EXPECT_EQ(volume.mountPoint.filename(), "Demo Installer");
    EXPECT_EQ(tree(volume.mountPoint / "Demo.app"), tree(app));
    EXPECT_EQ(fs::read_symlink(volume.mountPoint / "Applications"), "/Applications");

    const std::string png =
        bosun::testing::fileContents(volume.mountPoint / ".support" / "background.png");
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(bigEndian(png, 16), 1600u); // IHDR width and height: twice the window
    EXPECT_EQ(bigEndian(png, 20), 1000u);

    // 800 × 500: icons 125 points either side of x 400, at y 230 + 26.5 (rounded half up).
    const std::string store = bosun::testing::fileContents(volume.mountPoint / ".DS_Store");
    const auto file = finder_test::readDSStore({store.begin(), store.end()});
    std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> icons;
    for (const auto& record : file.records)
      if (record.code == "Iloc")
        icons[record.nameUTF8] = {finder_test::readUInt32(record.blob, 0),
                                  finder_test::readUInt32(record.blob, 4)};
    EXPECT_EQ(icons, (std::map<std::string, std::pair<std::uint32_t, std::uint32_t>>{
                         {"Applications", {525, 257}}, {"Demo.app", {275, 257}}}));
    stand_.toolOK("/usr/bin/hdiutil", {"detach", volume.device});
  }
}

// Also the scripted styling of the desktop app, which leaves the layout file to the Finder.
TEST_F(DMGBuilderTest, EachCompressionFormatEndsAsThatFormat) {
  const fs::path app = stand_.makeApp("Demo");
  for (const auto format : DMGCompressionFormats::allCases) {
    auto demo = request();
    demo.compression = format;
    const fs::path output = out() / (std::string(rawValue(format)) + ".dmg");
    const bool scripted = format == DMGCompressionFormat::lzma;
    build(app, output, demo, false, LicenseAgreement::none(),
          scripted ? DMGStyling::finderAppleScript : DMGStyling::finderLayoutFile);
    EXPECT_EQ(imageFormat(output), udifFormat(format));
  }
  EXPECT_EQ(notes, std::vector<std::string>(2, "Finder layout written to .DS_Store for Demo"));
}

TEST_F(DMGBuilderTest, LicenseUsesTheLegacyToolsFromTheStart) {
  const fs::path app = stand_.makeApp("Demo");
  const fs::path output = out() / "Demo.dmg";
  const auto statuses = build(app, output, request(), true, englishAgreement());
  EXPECT_EQ(statuses, (std::vector<std::string>{
                          "Preparing workspace…", "Mounting…", "Copying files…", "Styling window…",
                          "Finalizing…", "Compressing…", "Adding license agreement…", "Saving…"}));
  EXPECT_EQ(notesStartingWith(fallbackNote), 0);
  EXPECT_EQ(fileSystem(output), "HFS+");
  const auto resources = stand_.toolOK("/usr/bin/hdiutil", {"udifderez", "-xml", output.string()});
  EXPECT_NE(resources.find("<key>LPic</key>"), std::string::npos);
  EXPECT_NE(resources.find("<key>RTF </key>"), std::string::npos);
}

TEST_F(DMGBuilderTest, ModernFailureIsRebuiltOnceWithTheLegacyTools) {
  const fs::path app = stand_.makeApp("Demo");
  const fs::path output = out() / "Demo.dmg";
  set("MACSIM_DISKUTIL_FAIL", "1");
  set("MACSIM_DISKUTIL_WHEN", "from"); // the modern compression, after the image was ejected
  const auto statuses = build(app, output, request(), true);
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "Switching to legacy disk image tools…"),
            1);
  EXPECT_EQ(statuses.back(), "Saving…");
  EXPECT_EQ(fileSystem(output), "HFS+");
  EXPECT_EQ(notesStartingWith(fallbackNote), 1);
  EXPECT_EQ(notesStartingWith(
                "The modern disk image tools (diskutil image) failed: diskutil image create from "
                "failed with status 1. Halyard switched to the legacy tools (hdiutil) "
                "automatically and rebuilt the DMG."),
            1);
}

// Whatever step fails, the earlier image at the output path stays as it was and nothing of the
// build remains next to it.
TEST_F(DMGBuilderTest, FailuresLeaveAnExistingOutputByteForByte) {
  const fs::path app = stand_.makeApp("Demo");
  const fs::path output = out() / "Demo.dmg";
  writeFile(output, "the previous release");
  struct Case {
    const char* what;
    std::map<std::string, std::string> knobs;
    bool modern;
    bool license;
    const char* domain;
  };
  const Case cases[] = {
      {"copy", {{"MACSIM_DITTO_FAIL", "1"}}, false, false, "Halyard.process"},
      {"compression",
       {{"MACSIM_HDIUTIL_FAIL", "1"}, {"MACSIM_HDIUTIL_WHEN", "convert"}},
       false,
       false,
       "Halyard.process"},
      {"license",
       {{"MACSIM_HDIUTIL_FAIL", "1"}, {"MACSIM_HDIUTIL_WHEN", "udifrez"}},
       false,
       true,
       "Halyard.process"},
      // Both families fail: the legacy error is the one reported.
      {"both families",
       {{"MACSIM_DISKUTIL_FAIL", "3"},
        {"MACSIM_HDIUTIL_FAIL", "1"},
        {"MACSIM_HDIUTIL_STDERR", "hdiutil: create failed - legacy"},
        {"MACSIM_HDIUTIL_WHEN", "create"}},
       true,
       false,
       "Halyard.process"},
  };
  for (const auto& failure : cases) {
    SCOPED_TRACE(failure.what);
    notes.clear();
    for (const auto& [name, value] : failure.knobs)
      set(name, value);
    try {
      build(app, output, request(), failure.modern,
            failure.license ? englishAgreement() : LicenseAgreement::none());
      ADD_FAILURE() << "the build succeeded";
    } catch (const Error& error) {
      EXPECT_EQ(error.domain(), failure.domain) << error.what();
      if (failure.modern) {
        EXPECT_STREQ(error.what(), "hdiutil: create failed - legacy");
      }
    }
    for (const auto& [name, value] : failure.knobs)
      ::unsetenv(name.c_str());
    EXPECT_EQ(notesStartingWith(fallbackNote), failure.modern ? 1 : 0);
    EXPECT_EQ(bosun::testing::fileContents(output), "the previous release");
    EXPECT_EQ(std::distance(fs::directory_iterator(out()), fs::directory_iterator()), 1);
    EXPECT_EQ(attachedImages(), "");
    EXPECT_TRUE(fs::is_empty(temporary()));
  }
}

// Files the size rule does not count (hidden ones) overfill the volume: the detach fails and
// the build with it, leaving nothing attached.
TEST_F(DMGBuilderTest, VolumeTooSmallFailsCleanly) {
  const fs::path app = stand_.makeApp("Demo");
  {
    std::ofstream hidden(app / "Contents" / ".payload", std::ios::binary);
    hidden.seekp(130 * 1048576 - 1);
    hidden.put('\0');
  }
  EXPECT_THROW(build(app, out() / "Demo.dmg", request(), false), Error);
  EXPECT_TRUE(fs::is_empty(out()));
}

TEST_F(DMGBuilderTest, BusyModernEjectIsForcedAndTheBuildGoesOn) {
  const fs::path app = stand_.makeApp("Demo");
  set("MACSIM_BUSY_EJECTS", "5");
  const auto statuses = build(app, out() / "Demo.dmg", request(), true);
  EXPECT_EQ(statuses, plainStatuses);
  EXPECT_EQ(fileSystem(out() / "Demo.dmg"), "APFS");
  EXPECT_EQ(notesStartingWith("The temporary disk image was still busy (usually Spotlight or "
                              "Finder reading it), so Halyard ejected it with force. This is "
                              "harmless and the export continued."),
            1);
  EXPECT_EQ(notesStartingWith(fallbackNote), 0);
}

// Ctrl-C during a build: the signal handler stops the tools and undoes the clean-up registry,
// which holds the build's files and image, then ends the process without unwinding. A modern build
// is never rebuilt then.
TEST_F(DMGBuilderTest, CancellationLeavesNothingAndNeverFallsBack) {
  const fs::path app = stand_.makeApp("Demo");
  set("MACSIM_DITTO_DELAY", "60");
  for (const bool modern : {true, false}) {
    SCOPED_TRACE(modern ? "modern" : "legacy");
    std::atomic<bool> copying{false};
    std::vector<std::string> statuses;
    std::exception_ptr failure;
    std::thread worker([&] {
      DMGBuildHooks hooks;
      hooks.status = [&](const std::string& text) {
        statuses.push_back(text);
        if (text == "Copying files…") copying = true;
      };
      try {
        DMGBuilder::build(app, "Demo", out() / "Demo.dmg", request(), LicenseAgreement::none(),
                          modern, DMGStyling::finderLayoutFile, hooks);
      } catch (...) {
        failure = std::current_exception();
      }
    });
    while (!copying)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // The copy is still running: the registry alone must leave nothing, as the process may end
    // right after it.
    CleanupRegistry::shared().undoAll();
    EXPECT_TRUE(fs::is_empty(temporary()));
    EXPECT_EQ(attachedImages(), "");

    ProcessRegistry::shared().beginCancelling();
    worker.join();
    ProcessRegistry::shared().endCancelling();
    EXPECT_TRUE(failure);
    EXPECT_EQ(statuses.back(), "Copying files…");
    EXPECT_TRUE(fs::is_empty(out()));
  }
}

} // namespace
} // namespace halyard
