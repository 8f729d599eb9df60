// Which family may be used, and the platform facts that decide it: the system version, the
// diskutil tool, the stored preference, and what counts as a mounted volume.
#include <gtest/gtest.h>

#include <fstream>

#include "DiskImageStandInSupport.hpp"
#include "core/DiskImage/DiskImageEngine.hpp"
#include "core/Support/MountTable.hpp"

namespace fs = std::filesystem;

namespace halyard::testing {
namespace {

class DiskImageEngineTest : public DiskImageStandInTest {
protected:
  void writeSystemVersion(const std::string& version) const {
    auto plist = PropertyList::dictionary();
    plist.setString("ProductName", "macOS");
    plist.setString("ProductVersion", version);
    std::ofstream(root / "System/Library/CoreServices/SystemVersion.plist") << plist.xml();
  }
};

TEST(SystemVersion, PartsAreReadInOrderAndMissingOnesAreZero) {
  const std::pair<const char*, SystemVersion> cases[] = {
      {"27.0", {27, 0, 0}},      {"15.5.1", {15, 5, 1}}, {"26", {26, 0, 0}},
      {"14.6 beta", {14, 6, 0}}, {"", {0, 0, 0}},        {"macOS", {0, 0, 0}},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(SystemVersion::parse(text), expected) << text;
  EXPECT_LT((SystemVersion{26, 9, 9}), DiskImageEngines::modernMinimumSystem);
}

TEST_F(DiskImageEngineTest, ModernToolsNeedSystem27AndAnExecutableDiskutil) {
  EXPECT_TRUE(DiskImageEngines::isModernAvailable());
  EXPECT_EQ(SystemVersion::current(), (SystemVersion{27, 0, 0}));
  writeSystemVersion("26.4");
  EXPECT_FALSE(DiskImageEngines::isModernAvailable());
  writeSystemVersion("27.0.1");
  EXPECT_TRUE(DiskImageEngines::isModernAvailable());
  fs::remove(root / "usr/sbin/diskutil");
  EXPECT_FALSE(DiskImageEngines::isModernAvailable());
  fs::remove(root / "System/Library/CoreServices/SystemVersion.plist");
  EXPECT_EQ(SystemVersion::current(), (SystemVersion{0, 0, 0})) << "no file: not macOS";
}

TEST_F(DiskImageEngineTest, TheStoredPreferenceAndTheLicenseDecide) {
  const auto writePreferences = [&](const std::string& name, plist_t value, bool binary) {
    auto plist = PropertyList::dictionary();
    plist.set("Halyard.UseModernDiskImageTools", value);
    plist.setString("Halyard.DMGCompression", "lzfse");
    const auto path = work / name;
    std::ofstream(path, std::ios::binary) << (binary ? plist.binary() : plist.xml());
    return path;
  };
  const auto xmlTrue = writePreferences("xml.plist", plist_new_bool(1), false);
  const auto binaryTrue = writePreferences("binary.plist", plist_new_bool(1), true);
  const auto storedFalse = writePreferences("false.plist", plist_new_bool(0), false);
  const auto text = writePreferences("text.plist", plist_new_string("YES"), false);
  EXPECT_TRUE(DiskImageEngines::prefersModern(xmlTrue));
  EXPECT_TRUE(DiskImageEngines::prefersModern(binaryTrue));
  EXPECT_FALSE(DiskImageEngines::prefersModern(storedFalse));
  EXPECT_FALSE(DiskImageEngines::prefersModern(text));
  EXPECT_FALSE(DiskImageEngines::prefersModern(work / "absent.plist"));

  EXPECT_EQ(DiskImageEngines::resolveWithStoredPreference(false, binaryTrue),
            DiskImageEngine::modern);
  EXPECT_EQ(DiskImageEngines::resolveWithStoredPreference(true, binaryTrue),
            DiskImageEngine::legacy);
  EXPECT_EQ(DiskImageEngines::resolveWithStoredPreference(false, storedFalse),
            DiskImageEngine::legacy);
  writeSystemVersion("26.0");
  EXPECT_EQ(DiskImageEngines::resolve(true, false), DiskImageEngine::legacy);
  EXPECT_EQ(rawValue(DiskImageEngine::modern), "modern");
  EXPECT_EQ(rawValue(DiskImageEngine::legacy), "legacy");
}

TEST_F(DiskImageEngineTest, MountedVolumesUnderTheStandInsAndElsewhere) {
  fs::create_directories(root / "Volumes/My App/inner");
  fs::create_directories(work / "Volumes/Elsewhere");
  EXPECT_TRUE(MountTable::isMountedVolume(root / "Volumes/My App"));
  EXPECT_TRUE(MountTable::isMountedVolume(root / "Volumes/./My App/"));
  EXPECT_TRUE(MountTable::isMountedVolume("/")) << "the file system's own root";
  EXPECT_FALSE(MountTable::isMountedVolume(root / "Volumes/My App/inner"));
  EXPECT_FALSE(MountTable::isMountedVolume(root / "Volumes"));
  EXPECT_FALSE(MountTable::isMountedVolume(root / "Volumes/Gone"));
  EXPECT_FALSE(MountTable::isMountedVolume(work / "Volumes/Elsewhere"));
  EXPECT_FALSE(MountTable::isMountedVolume(""));
  fs::remove_all(root / "Volumes/My App");

  // Without a tool root only the file system answers: a plain folder is no volume.
  ::unsetenv("BOSUN_TOOL_ROOT");
  fs::create_directories(root / "Volumes/My App");
  EXPECT_FALSE(MountTable::isMountedVolume(root / "Volumes/My App"));
  EXPECT_TRUE(MountTable::isMountedVolume("/"));
  ::setenv("BOSUN_TOOL_ROOT", root.c_str(), 1);
  fs::remove_all(root / "Volumes/My App");
}

} // namespace
} // namespace halyard::testing
