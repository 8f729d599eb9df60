#include <gtest/gtest.h>

#include <fstream>

#include "core/Signing/AppBundleDisplayName.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;

namespace {

class AppBundleDisplayNameTest : public ::testing::Test {
protected:
  TemporaryFolder folder{"AppBundleDisplayNameTest_"};

  std::filesystem::path bundleWithInfo(const std::string& name, const std::string& infoBytes) {
    const auto bundle = folder.path() / name;
    std::filesystem::create_directories(bundle / "Contents");
    std::ofstream(bundle / "Contents" / "Info.plist", std::ios::binary) << infoBytes;
    return bundle;
  }

  static std::string xmlInfo(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict>" +
           entries + "</dict></plist>\n";
  }
};

} // namespace

TEST_F(AppBundleDisplayNameTest, DisplayNameWinsAndIsTrimmed) {
  const auto bundle = bundleWithInfo(
      "X.app", xmlInfo("<key>CFBundleName</key><string>Short</string>"
                       "<key>CFBundleDisplayName</key><string>  Fancy App\n</string>"));
  EXPECT_EQ(appBundleDisplayName(bundle), "Fancy App");
}

TEST_F(AppBundleDisplayNameTest, BlankOrNonTextDisplayNameFallsBackToBundleName) {
  EXPECT_EQ(appBundleDisplayName(bundleWithInfo(
                "A.app", xmlInfo("<key>CFBundleDisplayName</key><string> \t </string>"
                                 "<key>CFBundleName</key><string>Plain Name</string>"))),
            "Plain Name");
  EXPECT_EQ(appBundleDisplayName(
                bundleWithInfo("B.app", xmlInfo("<key>CFBundleDisplayName</key><integer>7</integer>"
                                                "<key>CFBundleName</key><string>Other</string>"))),
            "Other");
}

TEST_F(AppBundleDisplayNameTest, FallsBackToTheFileNameWithoutExtension) {
  EXPECT_EQ(appBundleDisplayName(bundleWithInfo(
                "My App.app", xmlInfo("<key>CFBundleName</key><string>   </string>"))),
            "My App");
  EXPECT_EQ(appBundleDisplayName(bundleWithInfo("Broken.app", "<plist><dict><key>")), "Broken");
  EXPECT_EQ(appBundleDisplayName(bundleWithInfo(
                "List.app", "<plist version=\"1.0\"><array><string>x</string></array></plist>")),
            "List");
  EXPECT_EQ(appBundleDisplayName(folder.path() / "Missing.app"), "Missing");
  EXPECT_EQ(appBundleDisplayName(folder.path() / "Slash.v2.app/"), "Slash.v2");
}

TEST_F(AppBundleDisplayNameTest, ReadsABinaryInfoPlist) {
  // bplist00: a one-entry dictionary {"CFBundleName": "Bin App"}, offsets and references one
  // byte wide, laid out by hand.
  const unsigned char bytes[] = {'b',  'p',  'l',  'i', 's', 't', '0', '0', // header, offset 0
                                 0xD1, 0x01, 0x02,                          // dict, offset 8
                                 0x5C, 'C',  'F',  'B', 'u', 'n', 'd', 'l',
                                 'e',  'N',  'a',  'm', 'e',                // key, offset 11
                                 0x57, 'B',  'i',  'n', ' ', 'A', 'p', 'p', // value, offset 24
                                 0x08, 0x0B, 0x18,                          // offset table at 32
                                 0,    0,    0,    0,   0,   0,   1,   1,   // trailer: sizes
                                 0,    0,    0,    0,   0,   0,   0,   3,   // object count
                                 0,    0,    0,    0,   0,   0,   0,   0,   // top object
                                 0,    0,    0,    0,   0,   0,   0,   32}; // offset table offset
  const std::string info(reinterpret_cast<const char*>(bytes), sizeof bytes);
  EXPECT_EQ(appBundleDisplayName(bundleWithInfo("Binary.app", info)), "Bin App");
}
