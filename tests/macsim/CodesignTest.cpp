#include "StandInFixture.hpp"

#include <fstream>
#include <gmock/gmock.h>

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace macsim::testing {

class CodesignTest : public StandInFixture {
protected:
  void SetUp() override {
    StandInFixture::SetUp();
    addIdentity(developerID);
  }

  // The signing command line of the product's app signer.
  RunResult signApp(const fs::path& app, bool deep) const {
    std::vector<std::string> arguments = {"--force",
                                          "--options",
                                          "runtime",
                                          "--timestamp",
                                          "--preserve-metadata=identifier,entitlements,flags",
                                          "--sign",
                                          developerID};
    if (deep) arguments.push_back("--deep");
    arguments.push_back(app.string());
    return run("codesign", arguments);
  }
  RunResult deepVerify(const fs::path& app) const {
    return run("codesign", {"--verify", "--deep", "--strict", "--verbose=4", app.string()});
  }
};

TEST_F(CodesignTest, AppWithNestedCodeSignsDeeplyVerifiesAndBreaksWhenTampered) {
  const auto app = makeApp("Demo", true);

  // Without --deep the unsigned framework stops the signature, as codesign does.
  const auto shallow = signApp(app, false);
  EXPECT_EQ(shallow.status, 1);
  EXPECT_THAT(shallow.standardError, HasSubstr(app.string() + ": code object is not signed at all\n"
                                                              "In subcomponent: "));

  ASSERT_EQ(signApp(app, true).status, 0);
  const auto verified = deepVerify(app);
  EXPECT_EQ(verified.status, 0) << verified.standardError;
  EXPECT_THAT(verified.standardError, HasSubstr(app.string() + ": valid on disk\n" + app.string() +
                                                ": satisfies its Designated Requirement\n"));
  EXPECT_THAT(verified.standardError,
              HasSubstr("--validated:" + (app / "Contents/Frameworks/Kit.framework").string()));

  // The signature travels with a copy.
  ASSERT_EQ(run("ditto", {app.string(), (work / "Copy.app").string()}).status, 0);
  EXPECT_EQ(deepVerify(work / "Copy.app").status, 0);

  writeFile(app / "Contents/Resources/readme.txt", "changed\n");
  writeFile(app / "Contents/Resources/extra.txt", "new\n");
  const auto tampered = run("codesign", {"--verify", "--verbose=2", app.string()});
  EXPECT_EQ(tampered.status, 1);
  EXPECT_EQ(tampered.standardError,
            app.string() + ": a sealed resource is missing or invalid\n" +
                "file modified: " + (app / "Contents/Resources/readme.txt").string() + "\n" +
                "file added: " + (app / "Contents/Resources/extra.txt").string() + "\n");
}

TEST_F(CodesignTest, ChangesToCodeInfoPlistAndNestedCodeAreEachDetected) {
  const auto app = makeApp("Demo", true);
  ASSERT_EQ(signApp(app, true).status, 0);
  const fs::path copy = work / "Copy.app";

  ASSERT_EQ(run("ditto", {app.string(), copy.string()}).status, 0);
  writeFile(copy / "Contents/MacOS/Demo", "not the signed executable");
  EXPECT_THAT(deepVerify(copy).standardError,
              HasSubstr(": invalid signature (code or signature have been modified)"));

  fs::remove_all(copy);
  ASSERT_EQ(run("ditto", {app.string(), copy.string()}).status, 0);
  writeFile(copy / "Contents/Info.plist", "<plist version=\"1.0\"><dict/></plist>");
  EXPECT_THAT(deepVerify(copy).standardError,
              HasSubstr(": invalid Info.plist (plist or signature have been modified)"));

  // A nested library changed after signing: only the deep check looks inside it.
  fs::remove_all(copy);
  ASSERT_EQ(run("ditto", {app.string(), copy.string()}).status, 0);
  {
    std::fstream library(copy / "Contents/Frameworks/libextra.dylib",
                         std::ios::in | std::ios::out | std::ios::binary);
    library.seekp(100);
    library << "patch";
  }
  EXPECT_EQ(run("codesign", {"--verify", copy.string()}).status, 0);
  const auto deep = deepVerify(copy);
  EXPECT_EQ(deep.status, 1);
  EXPECT_THAT(
      deep.standardError,
      HasSubstr("In subcomponent: " + (copy / "Contents/Frameworks/libextra.dylib").string()));
}

TEST_F(CodesignTest, UnsignedAndUnknownItemsUseTheRealMessages) {
  const auto app = makeApp("Plain");
  const auto unsignedApp = run("codesign", {"--verify", "--verbose=2", app.string()});
  EXPECT_EQ(unsignedApp.status, 1);
  EXPECT_EQ(unsignedApp.standardError, app.string() + ": code object is not signed at all\n");
  EXPECT_EQ(run("codesign", {"-dv", app.string()}).standardError,
            app.string() + ": code object is not signed at all\n");

  fs::create_directories(work / "Folder");
  EXPECT_THAT(run("codesign", {"--sign", "-", (work / "Folder").string()}).standardError,
              HasSubstr("bundle format unrecognized, invalid, or unsuitable"));
  EXPECT_EQ(run("codesign", {"--sign", "Nobody", app.string()}).standardError,
            "Nobody: no identity found\n");
  // An installer identity cannot sign code.
  addIdentity(installerID);
  EXPECT_EQ(run("codesign", {"--sign", installerID, app.string()}).status, 1);

  const auto usage = run("codesign", {app.string()});
  EXPECT_EQ(usage.status, 2);
  EXPECT_THAT(usage.standardError, HasSubstr("Usage: codesign -s identity"));

  ASSERT_EQ(run("codesign", {"--sign", "-", app.string()}).status, 0);
  EXPECT_EQ(run("codesign", {"--sign", "-", app.string()}).standardError,
            app.string() + ": is already signed\n");
  EXPECT_EQ(run("codesign", {"--force", "--sign", "-", app.string()}).standardError,
            app.string() + ": replacing existing signature\n");
}

TEST_F(CodesignTest, DisplayShowsAuthorityTimestampAndFlagsByVerbosity) {
  const auto app = makeApp("Demo");
  ASSERT_EQ(signApp(app, false).status, 0);
  const auto brief = run("codesign", {"-dv", app.string()});
  EXPECT_EQ(brief.status, 0);
  EXPECT_THAT(brief.standardError,
              HasSubstr("Executable=" + (app / "Contents/MacOS/Demo").string() +
                        "\n"
                        "Identifier=com.example.Demo\n"
                        "Format=app bundle with Mach-O universal (x86_64 arm64)\n"));
  EXPECT_THAT(brief.standardError, HasSubstr("flags=0x10000(runtime)"));
  EXPECT_THAT(brief.standardError, HasSubstr("TeamIdentifier=A1B2C3D4E5\n"));
  EXPECT_THAT(brief.standardError, Not(HasSubstr("Authority=")));

  const auto detailed = run("codesign", {"-dvv", app.string()});
  EXPECT_THAT(detailed.standardError,
              HasSubstr("Authority=Developer ID Application: Example Corp "
                        "(A1B2C3D4E5)\nAuthority=Developer ID Certification "
                        "Authority\nAuthority=Apple Root CA\nTimestamp="));

  // Disk-image signing leaves out the timestamp and the runtime.
  writeFile(work / "file.bin", "data");
  ASSERT_EQ(
      run("codesign", {"--force", "--sign", developerID, (work / "file.bin").string()}).status, 0);
  const auto plain = run("codesign", {"-dv", "--verbose=4", (work / "file.bin").string()});
  EXPECT_THAT(plain.standardError, HasSubstr("flags=0x0(none)"));
  EXPECT_THAT(plain.standardError, HasSubstr("Signed Time="));
  EXPECT_THAT(plain.standardError, Not(HasSubstr("Timestamp=")));

  const auto adhoc = makeApp("AdHoc");
  ASSERT_EQ(run("codesign", {"--sign", "-", adhoc.string()}).status, 0);
  const auto shown = run("codesign", {"-dvv", adhoc.string()});
  EXPECT_THAT(shown.standardError, HasSubstr("flags=0x2(adhoc)"));
  EXPECT_THAT(shown.standardError, HasSubstr("Signature=adhoc\n"));
  EXPECT_THAT(shown.standardError, HasSubstr("TeamIdentifier=not set\n"));
  EXPECT_THAT(shown.standardError, Not(HasSubstr("Authority=")));
}

TEST_F(CodesignTest, OptionsArePrintedAsTheFlagsValueAndEveryName) {
  const struct {
    const char* options;
    const char* identity;
    const char* flags;
  } rows[] = {
      {"runtime", "-", "flags=0x10002(adhoc,runtime)"},
      {"kill,library,restrict,runtime", nullptr,
       "flags=0x12a00(kill,restrict,library-validation,runtime)"},
      {"host,hard,expires", nullptr, "flags=0x501(host,hard,expires)"},
      {"linker-signed,runtime", nullptr, "flags=0x30000(runtime,linker-signed)"},
  };
  const auto app = makeApp("Flags");
  for (const auto& row : rows) {
    ASSERT_EQ(run("codesign", {"--force", "--options", row.options, "--sign",
                               row.identity ? row.identity : developerID, app.string()})
                  .status,
              0)
        << row.options;
    EXPECT_THAT(run("codesign", {"-dv", app.string()}).standardError,
                HasSubstr(" " + std::string(row.flags) + " hashes="))
        << row.options;
  }
  EXPECT_EQ(run("codesign", {"--force", "--options", "runtime,turbo", "--sign", "-", app.string()})
                .status,
            2);
}

TEST_F(CodesignTest, EntitlementsAreSignedInAndPreservedOnResigning) {
  const auto app = makeApp("Demo");
  writeFile(work / "e.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>com.apple.security.get-task-allow</key><true/></dict></plist>\n");
  ASSERT_EQ(
      run("codesign", {"--sign", "-", "--entitlements", (work / "e.plist").string(), app.string()})
          .status,
      0);
  // Re-signing for release keeps them (and so keeps get-task-allow).
  ASSERT_EQ(signApp(app, false).status, 0);
  const auto shown = run("codesign", {"-d", "--entitlements", "-", "--xml", app.string()});
  EXPECT_EQ(shown.status, 0);
  EXPECT_THAT(shown.standardOutput,
              HasSubstr("<key>com.apple.security.get-task-allow</key>\n\t<true/>"));
  EXPECT_THAT(shown.standardError, HasSubstr("Executable="));

  writeFile(work / "broken.plist", "not a plist");
  EXPECT_THAT(run("codesign", {"--force", "--sign", "-", "--entitlements",
                               (work / "broken.plist").string(), app.string()})
                  .standardError,
              HasSubstr("Failed to parse entitlements"));
}

TEST_F(CodesignTest, RequirementChecksTeamAndAnchor) {
  writeFile(work / "tool", "#!/bin/sh\n");
  ASSERT_EQ(run("codesign", {"--force", "--sign", developerID, (work / "tool").string()}).status,
            0);
  const std::string team =
      "=anchor apple generic and certificate leaf[subject.OU] = \"A1B2C3D4E5\"";
  EXPECT_EQ(run("codesign", {"--verify", "--strict", "-R", team, (work / "tool").string()}).status,
            0);
  const auto other = run("codesign", {"--verify", "--strict", "-R",
                                      "=anchor apple generic and certificate leaf[subject.OU] = "
                                      "\"K7Q2M9X4PZ\"",
                                      (work / "tool").string()});
  EXPECT_EQ(other.status, 3);
  EXPECT_THAT(other.standardError,
              HasSubstr("test-requirement: code failed to satisfy specified code requirement(s)"));
  ASSERT_EQ(run("codesign", {"--force", "--sign", "-", (work / "tool").string()}).status, 0);
  EXPECT_EQ(run("codesign", {"--verify", "-R", team, (work / "tool").string()}).status, 3);
  EXPECT_EQ(run("codesign", {"--verify", "-R", "=nonsense", (work / "tool").string()}).status, 2);
}

TEST_F(CodesignTest, StrictRejectsUnsealedRootContentAndEscapingLinks) {
  const auto app = makeApp("Demo");
  writeFile(app / "stray.txt", "x");
  EXPECT_THAT(signApp(app, false).standardError,
              HasSubstr("unsealed contents present in the bundle root"));
  fs::remove(app / "stray.txt");
  fs::create_symlink("/etc/passwd", app / "Contents/Resources/link");
  EXPECT_THAT(signApp(app, false).standardError,
              HasSubstr("invalid destination for symbolic link in bundle"));
  fs::remove(app / "Contents/Resources/link");
  ASSERT_EQ(signApp(app, false).status, 0);
  writeFile(app / "late.txt", "x");
  EXPECT_THAT(deepVerify(app).standardError,
              HasSubstr("unsealed contents present in the bundle root"));
  fs::remove(app / "late.txt");
  // Verifying refuses a link added after signing that leads out of the bundle.
  fs::create_symlink("../../../outside", app / "Contents/Resources/late-link");
  EXPECT_THAT(deepVerify(app).standardError,
              HasSubstr("invalid destination for symbolic link in bundle"));
}

TEST_F(CodesignTest, TimestampNeedsTheNetwork) {
  const auto app = makeApp("Demo");
  const auto offline =
      run("codesign", {"--force", "--timestamp", "--sign", developerID, app.string()},
          {{"MACSIM_OFFLINE", "1"}});
  EXPECT_EQ(offline.status, 1);
  EXPECT_EQ(offline.standardError, app.string() + ": The timestamp service is not available.\n");
}

} // namespace macsim::testing

namespace macsim::testing {

TEST_F(CodesignTest, SingleFilesAreResignedInPlaceKeepingTheirAttributes) {
  ASSERT_EQ(macsim({"machO", "--arch", "arm64", (work / "tool").string()}).status, 0);
  const auto size = fs::file_size(work / "tool");
  ASSERT_EQ(
      run("xattr", {"-w", "com.apple.quarantine", "0081;1;x;", (work / "tool").string()}).status,
      0);
  ASSERT_EQ(run("codesign", {"--sign", developerID, (work / "tool").string()}).status, 0);
  const auto signedSize = fs::file_size(work / "tool");
  EXPECT_GT(signedSize, size);
  ASSERT_EQ(run("codesign", {"--force", "--sign", "-", (work / "tool").string()}).status, 0);
  EXPECT_THAT(run("codesign", {"-dv", (work / "tool").string()}).standardError,
              HasSubstr("Format=Mach-O thin (arm64)\n"));
  EXPECT_EQ(run("xattr", {"-p", "com.apple.quarantine", (work / "tool").string()}).standardOutput,
            "0081;1;x;\n");
  // The architectures still read from the headers.
  EXPECT_EQ(run("lipo", {"-archs", (work / "tool").string()}).standardOutput, "arm64\n");

  ASSERT_EQ(run("codesign", {"--remove-signature", (work / "tool").string()}).status, 0);
  EXPECT_EQ(fs::file_size(work / "tool"), size);
  EXPECT_EQ(run("codesign", {"--verify", (work / "tool").string()}).status, 1);
}

TEST_F(CodesignTest, DamagedOrForgedSignatureRecordsAreNeverTrusted) {
  writeFile(work / "file", "payload");
  ASSERT_EQ(run("codesign", {"--sign", developerID, (work / "file").string()}).status, 0);
  // A record edited by hand no longer matches its own cdhash.
  std::string bytes = readFile(work / "file");
  const auto at = bytes.find("\"flags\":0");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 9, "\"flags\":1");
  writeFile(work / "file", bytes);
  EXPECT_EQ(run("codesign", {"--verify", "--verbose=2", (work / "file").string()}).standardError,
            (work / "file").string() +
                ": invalid signature (code or signature have been modified)\n");

  // A trailer whose length points outside the file is no trailer at all.
  writeFile(work / "odd",
            std::string("data") + std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8) + "MACSIMT1");
  EXPECT_EQ(run("codesign", {"--verify", (work / "odd").string()}).standardError,
            (work / "odd").string() + ": code object is not signed at all\n");
  EXPECT_EQ(run("hdiutil", {"attach", (work / "odd").string()}).standardError,
            "hdiutil: attach failed - image not recognized\n");

  // A bundle's signature file replaced by something else is not a signature.
  const auto app = makeApp("Demo");
  ASSERT_EQ(run("codesign", {"--sign", "-", app.string()}).status, 0);
  writeFile(app / "Contents/_CodeSignature/CodeSignature", "[]");
  EXPECT_THAT(run("codesign", {"--verify", app.string()}).standardError,
              HasSubstr("invalid signature (code or signature have been modified)"));
}

} // namespace macsim::testing
