#include "StandInFixture.hpp"

#include <fstream>
#include <gmock/gmock.h>
#include <regex>
#include <sys/stat.h>

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace macsim::testing {

class PackageTest : public StandInFixture {
protected:
  void SetUp() override {
    StandInFixture::SetUp();
    addIdentity(developerID);
    addIdentity(installerID);
    ASSERT_EQ(macsim({"profile", "add", "release"}).status, 0);
  }

  // The product's PKG build: copy, analyse, component, distribution, product.
  fs::path buildPackage(bool withScripts, bool sign) const {
    const fs::path workspace = work / "pkgwork";
    fs::create_directories(workspace / "root");
    fs::create_directories(workspace / "resources/en.lproj");
    const auto app = makeApp("Demo", true);
    signForRelease(app, true);
    EXPECT_EQ(run("ditto", {app.string(), (workspace / "root/Demo.app").string()}).status, 0);
    const auto analyzed = run("pkgbuild", {"--analyze", "--root", (workspace / "root").string(),
                                           (workspace / "component.plist").string()});
    EXPECT_EQ(analyzed.status, 0) << analyzed.standardError;
    std::string plist = readFile(workspace / "component.plist");
    EXPECT_THAT(plist,
                HasSubstr("<key>RootRelativeBundlePath</key>\n\t\t<string>Demo.app</string>"));
    plist = std::regex_replace(plist, std::regex("<key>BundleIsRelocatable</key>\\s*<true/>"),
                               "<key>BundleIsRelocatable</key><false/>");
    writeFile(workspace / "component.plist", plist);

    std::vector<std::string> component = {"--root",
                                          (workspace / "root").string(),
                                          "--component-plist",
                                          (workspace / "component.plist").string(),
                                          "--identifier",
                                          "com.example.Demo",
                                          "--version",
                                          "1.2",
                                          "--install-location",
                                          "/Applications"};
    if (withScripts) {
      writeFile(workspace / "scripts/postinstall",
                "#!/bin/sh\nlaunchctl load /Library/LaunchDaemons/com.example.plist\n");
      fs::permissions(workspace / "scripts/postinstall", fs::perms::owner_all);
      component.insert(component.end(), {"--scripts", (workspace / "scripts").string()});
    }
    component.push_back((workspace / "com.example.Demo.component.pkg").string());
    const auto built = run("pkgbuild", component);
    EXPECT_EQ(built.status, 0) << built.standardError;
    EXPECT_THAT(built.standardOutput, HasSubstr("pkgbuild: Wrote package to "));

    writeFile(workspace / "resources/en.lproj/License.rtf", "{\\rtf1 License}");
    writeFile(workspace / "Distribution.xml",
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<installer-gui-script minSpecVersion=\"2\">\n"
              "    <title>Demo</title>\n"
              "    <license file=\"License.rtf\"/>\n"
              "    <choices-outline>\n        <line choice=\"default\">\n"
              "            <line choice=\"com.example.Demo\"/>\n        </line>\n"
              "    </choices-outline>\n    <choice id=\"default\"/>\n"
              "    <choice id=\"com.example.Demo\" visible=\"false\">\n"
              "        <pkg-ref id=\"com.example.Demo\"/>\n    </choice>\n"
              "    <pkg-ref id=\"com.example.Demo\" version=\"1.2\" onConclusion=\"none\">"
              "com.example.Demo.component.pkg</pkg-ref>\n"
              "</installer-gui-script>\n");
    std::vector<std::string> product = {"--distribution", (workspace / "Distribution.xml").string(),
                                        "--resources",    (workspace / "resources").string(),
                                        "--package-path", workspace.string()};
    if (sign) product.insert(product.end(), {"--sign", installerID, "--timestamp"});
    product.push_back((work / "Demo.pkg").string());
    const auto assembled = run("productbuild", product);
    EXPECT_EQ(assembled.status, 0) << assembled.standardError;
    EXPECT_THAT(assembled.standardOutput, HasSubstr("productbuild: Wrote product to "));
    return work / "Demo.pkg";
  }
};

TEST_F(PackageTest, PackageIsBuiltSignedExpandedCheckedNotarizedAndStapled) {
  const auto unsignedPackage = buildPackage(true, false);
  const auto unsignedCheck = run("pkgutil", {"--check-signature", unsignedPackage.string()});
  EXPECT_EQ(unsignedCheck.status, 1);
  EXPECT_EQ(unsignedCheck.standardOutput, "Package \"Demo.pkg\":\n   Status: no signature\n");

  const fs::path signedPackage = work / "Signed.pkg";
  const auto signing =
      run("productsign", {"--sign", installerID, unsignedPackage.string(), signedPackage.string()});
  ASSERT_EQ(signing.status, 0) << signing.standardError;
  EXPECT_THAT(signing.standardOutput, HasSubstr("productsign: signing product with identity \"" +
                                                std::string(installerID) + "\""));
  EXPECT_THAT(signing.standardOutput,
              HasSubstr("productsign: Wrote signed product archive to " + signedPackage.string()));

  const auto check = run("pkgutil", {"--check-signature", signedPackage.string()});
  EXPECT_EQ(check.status, 0);
  EXPECT_THAT(check.standardOutput,
              HasSubstr("Package \"Signed.pkg\":\n   Status: signed by a developer "
                        "certificate issued by Apple for distribution\n"));
  EXPECT_THAT(check.standardOutput, HasSubstr("   Signed with a trusted timestamp on: "));
  EXPECT_THAT(check.standardOutput, HasSubstr("   Certificate Chain:\n    1. " +
                                              std::string(installerID) + "\n       Expires: "));
  EXPECT_THAT(check.standardOutput, HasSubstr("    2. Developer ID Certification Authority\n"));
  EXPECT_THAT(check.standardOutput, HasSubstr("    3. Apple Root CA\n"));
  EXPECT_THAT(check.standardOutput, Not(HasSubstr("Notarization:")));

  // The expanded package has the layout of a product archive.
  const fs::path expanded = work / "expanded";
  ASSERT_EQ(run("pkgutil", {"--expand-full", signedPackage.string(), expanded.string()}).status, 0);
  EXPECT_THAT(readFile(expanded / "Distribution"), HasSubstr("com.example.Demo.component.pkg"));
  EXPECT_EQ(readFile(expanded / "Resources/en.lproj/License.rtf"), "{\\rtf1 License}");
  const fs::path component = expanded / "com.example.Demo.component.pkg";
  EXPECT_THAT(readFile(component / "PackageInfo"), HasSubstr("identifier=\"com.example.Demo\""));
  EXPECT_THAT(readFile(component / "PackageInfo"), HasSubstr("relocatable=\"false\""));
  EXPECT_THAT(readFile(component / "PackageInfo"), HasSubstr("install-location=\"/Applications\""));
  EXPECT_TRUE(fs::exists(component / "Payload/Demo.app/Contents/MacOS/Demo"));
  EXPECT_THAT(readFile(component / "Scripts/postinstall"), HasSubstr("launchctl"));
  struct stat info {};
  ASSERT_EQ(::stat((component / "Scripts/postinstall").c_str(), &info), 0);
  EXPECT_NE(info.st_mode & 0100, 0u);
  // The app in the payload keeps its signature.
  EXPECT_EQ(
      run("codesign", {"--verify", "--deep", "--strict", (component / "Payload/Demo.app").string()})
          .status,
      0);
  EXPECT_NE(run("pkgutil", {"--expand-full", signedPackage.string(), expanded.string()}).status, 0);

  const auto submitted = xcrun(
      {"notarytool", "submit", signedPackage.string(), "--keychain-profile", "release", "--wait"});
  ASSERT_THAT(submitted.standardOutput, HasSubstr("  status: Accepted\n"));
  EXPECT_EQ(xcrun({"stapler", "staple", signedPackage.string()}).status, 0);
  EXPECT_EQ(xcrun({"stapler", "validate", signedPackage.string()}).status, 0);
  EXPECT_THAT(run("pkgutil", {"--check-signature", signedPackage.string()}).standardOutput,
              HasSubstr("   Notarization: trusted by the Apple notary service\n"));
  const auto gatekeeper =
      run("spctl", {"--assess", "-vv", "--type", "install", signedPackage.string()},
          {{"MACSIM_OFFLINE", "1"}});
  EXPECT_EQ(gatekeeper.status, 0);
  EXPECT_EQ(gatekeeper.standardError,
            signedPackage.string() +
                ": accepted\nsource=Notarized Developer ID\norigin=" + installerID + "\n");

  // Tampering with the signed package breaks its checksum.
  {
    std::fstream bytes(signedPackage, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekp(200);
    bytes << "x";
  }
  const auto broken = run("pkgutil", {"--check-signature", signedPackage.string()});
  EXPECT_EQ(broken.status, 1);
  EXPECT_THAT(broken.standardOutput,
              HasSubstr("   Status: package is invalid (checksum did not verify)\n"));
}

TEST_F(PackageTest, UnsignedOrWronglySignedPackagesAreRefusedByTheNotaryService) {
  const auto package = buildPackage(false, false);
  const auto submitted =
      xcrun({"notarytool", "submit", package.string(), "--keychain-profile", "release", "--wait"});
  EXPECT_THAT(submitted.standardOutput, HasSubstr("  status: Invalid\n"));
  // An application identity cannot sign installers.
  const auto wrong =
      run("productsign", {"--sign", developerID, package.string(), (work / "x.pkg").string()});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_THAT(wrong.standardError, HasSubstr("Could not find appropriate signing identity"));
  EXPECT_FALSE(fs::exists(work / "x.pkg"));
}

TEST_F(PackageTest, ProductbuildSignsAndChecksItsDistribution) {
  const auto package = buildPackage(false, true);
  EXPECT_EQ(run("pkgutil", {"--check-signature", package.string()}).status, 0);

  const fs::path workspace = work / "pkgwork";
  writeFile(workspace / "Broken.xml", "<installer-gui-script><title>Demo</installer-gui-script>");
  const auto malformed =
      run("productbuild", {"--distribution", (workspace / "Broken.xml").string(), "--package-path",
                           workspace.string(), (work / "b.pkg").string()});
  EXPECT_EQ(malformed.status, 1);
  EXPECT_THAT(malformed.standardError, HasSubstr("is not well-formed XML"));

  writeFile(workspace / "Other.xml",
            "<installer-gui-script minSpecVersion=\"2\"><pkg-ref id=\"x\" version=\"1\">"
            "other.component.pkg</pkg-ref></installer-gui-script>");
  const auto missing =
      run("productbuild", {"--distribution", (workspace / "Other.xml").string(), "--package-path",
                           workspace.string(), (work / "b.pkg").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.standardError,
              HasSubstr("Cannot locate component package \"other.component.pkg\""));

  writeFile(workspace / "Empty.xml", "<installer-gui-script minSpecVersion=\"2\"/>");
  EXPECT_EQ(run("productbuild",
                {"--distribution", (workspace / "Empty.xml").string(), (work / "b.pkg").string()})
                .status,
            1);
}

TEST_F(PackageTest, ExpansionNeverWritesOutsideItsFolder) {
  // A package whose payload holds a path that climbs out is refused.
  const fs::path evil = work / "evilroot";
  writeFile(evil / "ok.txt", "fine");
  fs::create_symlink("../../../outside", evil / "escape");
  ASSERT_EQ(run("pkgbuild", {"--root", evil.string(), "--identifier", "com.example.evil",
                             (work / "evil.pkg").string()})
                .status,
            0);
  const auto expanded =
      run("pkgutil", {"--expand-full", (work / "evil.pkg").string(), (work / "e").string()});
  EXPECT_EQ(expanded.status, 1);
  EXPECT_THAT(expanded.standardError, HasSubstr("symbolic link leads outside"));
  EXPECT_FALSE(fs::exists(work / "e"));
}

} // namespace macsim::testing

namespace macsim::testing {

TEST_F(PackageTest, ComponentPackagesCanBeSignedAndExpandedFlat) {
  writeFile(work / "root/Tool.app/Contents/Info.plist",
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
            "<string>com.example.Tool</string></dict></plist>");
  const auto built = run("pkgbuild", {"--root", (work / "root").string(), "--identifier",
                                      "com.example.Tool", "--version", "2.0", "--sign", installerID,
                                      "--timestamp", (work / "Tool.pkg").string()});
  ASSERT_EQ(built.status, 0) << built.standardError;
  EXPECT_THAT(built.standardOutput, HasSubstr("pkgbuild: Adding component at Tool.app\n"));
  EXPECT_EQ(run("pkgutil", {"--check-signature", (work / "Tool.pkg").string()}).status, 0);

  ASSERT_EQ(
      run("pkgutil", {"--expand", (work / "Tool.pkg").string(), (work / "flat").string()}).status,
      0);
  EXPECT_TRUE(fs::is_regular_file(work / "flat/Payload"));
  EXPECT_THAT(readFile(work / "flat/PackageInfo"),
              HasSubstr("<bundle path=\"./Tool.app\" id=\"com.example.Tool\""));
  EXPECT_THAT(readFile(work / "flat/PackageInfo"), HasSubstr("relocatable=\"true\""));
  EXPECT_EQ(run("pkgbuild", {"--root", (work / "absent").string(), "--identifier", "x",
                             (work / "x.pkg").string()})
                .status,
            1);
  EXPECT_EQ(run("pkgutil", {"--check-signature", (work / "absent.pkg").string()}).status, 1);
  writeFile(work / "text.pkg", "not a package");
  EXPECT_THAT(run("pkgutil", {"--check-signature", (work / "text.pkg").string()}).standardOutput,
              HasSubstr("Status: package is invalid"));
}

} // namespace macsim::testing
