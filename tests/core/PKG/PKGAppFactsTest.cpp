// What the package takes from the app's Info.plist (XML and binary), the installer identity
// rule and the error texts.
#include <gtest/gtest.h>

#include <fstream>

#include "core/PKG/PKGAppFacts.hpp"
#include "core/PKG/PKGBuilder.hpp"
#include "core/PKG/PKGBuilderError.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;

class PKGAppFactsTest : public ::testing::Test {
protected:
  // folder/NAME with Contents/Info.plist holding `bytes` (no file when empty).
  fs::path app(const std::string& name, const std::string& bytes) {
    const fs::path bundle = folder_.path() / name;
    fs::create_directories(bundle / "Contents");
    if (!bytes.empty()) std::ofstream(bundle / "Contents" / "Info.plist") << bytes;
    return bundle;
  }
  static std::string xml(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" +
           entries + "</dict>\n</plist>\n";
  }

  TemporaryFolder folder_{"PKGAppFactsTest_"};
};

TEST_F(PKGAppFactsTest, XMLInfoPlistGivesEveryValue) {
  const auto facts = PKGAppFacts::read(
      app("Tool.app", xml("<key>CFBundleIdentifier</key><string>com.example.tool</string>"
                          "<key>CFBundleShortVersionString</key><string>3.2</string>"
                          "<key>CFBundleVersion</key><string>320</string>"
                          "<key>LSMinimumSystemVersion</key><string>12.0</string>"
                          "<key>CFBundleExecutable</key><string>Tool</string>")));
  EXPECT_EQ(facts.identifier, "com.example.tool");
  EXPECT_EQ(facts.version, "3.2");
  EXPECT_EQ(facts.minimumSystemVersion, "12.0");
  EXPECT_EQ(facts.executableName, "Tool");
}

TEST_F(PKGAppFactsTest, BinaryInfoPlistWithOnlyABuildNumber) {
  auto info = PropertyList::dictionary();
  info.setString("CFBundleVersion", "42");
  info.setString("LSMinimumSystemVersion", "");
  info.setInteger("CFBundleIdentifier", 7); // not a string: as if absent
  const auto facts = PKGAppFacts::read(app("My Tool.app", info.binary()));
  EXPECT_EQ(facts.identifier, "com.halyard.My-Tool");
  EXPECT_EQ(facts.version, "42");
  EXPECT_EQ(facts.minimumSystemVersion, std::nullopt);
  EXPECT_EQ(facts.executableName, std::nullopt);
}

TEST_F(PKGAppFactsTest, MissingOrUnreadableInfoPlistCountsAsEmpty) {
  struct Case {
    const char* app;
    const char* bytes;
    const char* identifier;
  };
  for (const auto& c :
       {Case{"A B C.app", "", "com.halyard.A-B-C"},
        Case{"Odd.app", "not a property list", "com.halyard.Odd"},
        Case{"List.app", "<plist><array><string>x</string></array></plist>", "com.halyard.List"}}) {
    const auto facts = PKGAppFacts::read(app(c.app, c.bytes));
    EXPECT_EQ(facts.identifier, c.identifier);
    EXPECT_EQ(facts.version, "1.0") << c.app;
    EXPECT_EQ(facts.minimumSystemVersion, std::nullopt) << c.app;
  }
}

TEST(PKGBuilderTextTest, InstallerIdentityIsNormalized) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {" \n\t", ""},
      {" Example Corp (A1B2C3D4E5)\n", "Developer ID Installer: Example Corp (A1B2C3D4E5)"},
      {"developer id INSTALLER: Example Corp ", "developer id INSTALLER: Example Corp"},
      {"Developer ID Application: Example Corp",
       "Developer ID Installer: Developer ID Application: Example Corp"},
  };
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(PKGBuilder::normalizedInstallerIdentity(input), expected) << input;
}

TEST(PKGBuilderTextTest, ErrorDescriptions) {
  EXPECT_EQ(PKGBuilderError::step("productbuild", "\n productbuild: error: full \n").what(),
            std::string("productbuild failed: productbuild: error: full"));
  EXPECT_EQ(PKGBuilderError::step("Copying the app", " \n").what(),
            std::string("Copying the app failed."));
  EXPECT_EQ(PKGBuilderError::unsafeName("bundle identifier", "com.x\x01/y").what(),
            std::string("The bundle identifier \"com.x\\x01/y\" cannot name a file in the "
                        "installer package: it is empty or holds \"/\", \"..\" or control "
                        "characters."));
}

} // namespace
} // namespace halyard
