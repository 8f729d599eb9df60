// What the package takes from the app's Info.plist (XML and binary), the installer identity
// rule and the step error texts.
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

TEST(PKGAppFactsTest, IdentifierVersionAndMinimumFromXMLAndBinaryInfoPlists) {
  auto binary = PropertyList::dictionary();
  binary.setString("CFBundleVersion", "42");
  binary.setString("LSMinimumSystemVersion", "");
  binary.setInteger("CFBundleIdentifier", 7); // not a string: as if absent
  struct Case {
    const char* app;
    std::string info; // no file when empty
    PKGAppFacts expected;
  };
  const Case cases[] = {
      {"Tool.app",
       "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>com.example.tool"
       "</string><key>CFBundleShortVersionString</key><string>3.2</string><key>CFBundleVersion"
       "</key><string>320</string><key>LSMinimumSystemVersion</key><string>12.0</string><key>"
       "CFBundleExecutable</key><string>Tool</string></dict></plist>",
       {"com.example.tool", "3.2", "12.0", "Tool"}},
      {"My Tool.app", binary.binary(), {"com.halyard.My-Tool", "42", std::nullopt, std::nullopt}},
      {"A B C.app", "", {"com.halyard.A-B-C", "1.0", std::nullopt, std::nullopt}},
      {"List.app",
       "<plist><array><string>x</string></array></plist>",
       {"com.halyard.List", "1.0", std::nullopt, std::nullopt}},
  };
  const TemporaryFolder folder("PKGAppFactsTest_");
  for (const auto& c : cases) {
    const fs::path app = folder.path() / c.app;
    fs::create_directories(app / "Contents");
    if (!c.info.empty()) std::ofstream(app / "Contents/Info.plist") << c.info;
    const auto facts = PKGAppFacts::read(app);
    EXPECT_EQ(facts.identifier, c.expected.identifier);
    EXPECT_EQ(facts.version, c.expected.version) << c.app;
    EXPECT_EQ(facts.minimumSystemVersion, c.expected.minimumSystemVersion) << c.app;
    EXPECT_EQ(facts.executableName, c.expected.executableName) << c.app;
  }
}

TEST(PKGBuilderTextTest, InstallerIdentityAndStepErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {" \n\t", ""},
      {" Example Corp (A1B2C3D4E5)\n", "Developer ID Installer: Example Corp (A1B2C3D4E5)"},
      {"developer id INSTALLER: Example Corp ", "developer id INSTALLER: Example Corp"},
      {"Developer ID Application: X", "Developer ID Installer: Developer ID Application: X"},
  };
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(PKGBuilder::normalizedInstallerIdentity(input), expected) << input;

  EXPECT_STREQ(PKGBuilderError::step("pkgbuild", "\n error: full \n").what(),
               "pkgbuild failed: error: full");
  EXPECT_STREQ(PKGBuilderError::step("Copying the app", " \n").what(), "Copying the app failed.");
}

} // namespace
} // namespace halyard
