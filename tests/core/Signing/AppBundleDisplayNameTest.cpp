#include <gtest/gtest.h>

#include <fstream>
#include <optional>

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

TEST_F(AppBundleDisplayNameTest, DisplayNameThenBundleNameThenFileName) {
  const struct {
    const char* bundle;
    std::optional<std::string> info; // none: no Info.plist at all
    const char* expected;
  } cases[] = {
      {"X.app",
       xmlInfo("<key>CFBundleName</key><string>Short</string>"
               "<key>CFBundleDisplayName</key><string>  Fancy App\n</string>"),
       "Fancy App"},
      {"A.app",
       xmlInfo("<key>CFBundleDisplayName</key><string> \t </string>"
               "<key>CFBundleName</key><string>Plain Name</string>"),
       "Plain Name"},
      {"B.app",
       xmlInfo("<key>CFBundleDisplayName</key><integer>7</integer>"
               "<key>CFBundleName</key><string>Other</string>"),
       "Other"},
      {"My App.app", xmlInfo("<key>CFBundleName</key><string>   </string>"), "My App"},
      {"Broken.app", "<plist><dict><key>", "Broken"},
      {"List.app", "<plist version=\"1.0\"><array><string>x</string></array></plist>", "List"},
      {"Missing.app", std::nullopt, "Missing"},
      {"Slash.v2.app/", std::nullopt, "Slash.v2"},
  };
  for (const auto& test : cases) {
    const auto bundle =
        test.info ? bundleWithInfo(test.bundle, *test.info) : folder.path() / test.bundle;
    EXPECT_EQ(appBundleDisplayName(bundle), test.expected) << test.bundle;
  }
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
