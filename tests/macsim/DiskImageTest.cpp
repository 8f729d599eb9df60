#include "StandInFixture.hpp"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace macsim::testing {

namespace {

// Every "<key>NAME</key>" followed by its "<string>VALUE</string>" in a property list.
std::vector<std::string> stringsFor(const std::string& plist, const std::string& key) {
  std::vector<std::string> values;
  const std::regex pattern("<key>" + key + "</key>\\s*<string>([^<]*)</string>");
  for (auto it = std::sregex_iterator(plist.begin(), plist.end(), pattern);
       it != std::sregex_iterator(); ++it)
    values.push_back((*it)[1].str());
  return values;
}

} // namespace

class DiskImageTest : public StandInFixture {
protected:
  fs::path createImage(const std::string& name, const std::string& size = "20m",
                       const std::string& filesystem = "HFS+") const {
    const fs::path image = work / (name + ".dmg");
    const auto result = run("hdiutil", {"create", "-size", size, "-fs", filesystem, "-volname",
                                        name, "-ov", image.string()});
    EXPECT_EQ(result.status, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, "created: " + image.string() + "\n");
    return image;
  }
  // Attaches as the DMG builder does; returns (device, mount point).
  std::pair<std::string, fs::path> attach(const fs::path& image,
                                          std::vector<std::string> options = {}) const {
    std::vector<std::string> arguments = {"attach", "-noverify", "-noautoopen", "-plist"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(image.string());
    const auto result = run("hdiutil", arguments);
    EXPECT_EQ(result.status, 0) << result.standardError;
    const auto devices = stringsFor(result.standardOutput, "dev-entry");
    const auto mounts = stringsFor(result.standardOutput, "mount-point");
    if (devices.empty() || mounts.empty()) return {};
    return {devices.front(), fs::path(mounts.front())};
  }
};

TEST_F(DiskImageTest, ReadWriteImageIsWrittenBackConvertedAndAttachedReadOnly) {
  const auto image = createImage("Demo");
  const auto [device, mount] = attach(image);
  EXPECT_EQ(device, "/dev/disk4");
  EXPECT_EQ(mount, root / "Volumes" / "Demo");
  ASSERT_TRUE(fs::is_directory(mount));

  const auto app = makeApp("Demo");
  ASSERT_EQ(run("ditto", {app.string(), (mount / "Demo.app").string()}).status, 0);
  fs::create_symlink("/Applications", mount / "Applications");
  writeFile(mount / ".support/background.png", "png");

  const auto info = run("hdiutil", {"info", "-plist"});
  EXPECT_THAT(stringsFor(info.standardOutput, "image-path"), Contains(image.string()));
  EXPECT_THAT(stringsFor(info.standardOutput, "dev-entry"), Contains("/dev/disk4s1"));

  const auto detached = run("hdiutil", {"detach", device, "-force"});
  EXPECT_EQ(detached.status, 0) << detached.standardError;
  EXPECT_EQ(detached.standardOutput, "\"disk4\" ejected.\n");
  EXPECT_FALSE(fs::exists(mount));
  EXPECT_THAT(stringsFor(run("hdiutil", {"info", "-plist"}).standardOutput, "image-path"),
              Not(Contains(image.string())));
  EXPECT_THAT(archiveMemberNames(readFile(image)), Contains("Demo.app/Contents/MacOS/Demo"));
  EXPECT_THAT(archiveMemberNames(readFile(image)), Contains("Applications"));

  // A converted image opens with ordinary archive tools whatever its compression.
  for (const char* format : {"UDZO", "ULFO", "ULMO", "UDBZ"}) {
    const fs::path compressed = work / (std::string(format) + ".dmg");
    std::vector<std::string> arguments = {"convert", image.string(), "-format", format};
    if (std::string(format) == "UDZO")
      arguments.insert(arguments.end(), {"-imagekey", "zlib-level=9"});
    arguments.insert(arguments.end(), {"-ov", "-o", compressed.string()});
    const auto converted = run("hdiutil", arguments);
    ASSERT_EQ(converted.status, 0) << converted.standardError;
    EXPECT_THAT(converted.standardOutput, HasSubstr("created: " + compressed.string() + "\n"));
    EXPECT_THAT(archiveMemberNames(readFile(compressed)),
                Contains("Demo.app/Contents/Resources/readme.txt"))
        << format;
  }

  // Read-only attachments are never written back.
  const fs::path compressed = work / "UDZO.dmg";
  const std::string before = readFile(compressed);
  const auto [readOnlyDevice, readOnlyMount] = attach(compressed, {"-nobrowse", "-readonly"});
  EXPECT_TRUE(fs::is_symlink(readOnlyMount / "Applications"));
  writeFile(readOnlyMount / "scribble.txt", "x");
  ASSERT_EQ(run("hdiutil", {"detach", readOnlyMount.string(), "-quiet"}).status, 0);
  EXPECT_EQ(readFile(compressed), before);
  // A compressed image is read-only even without -readonly.
  const auto [again, againMount] = attach(compressed);
  writeFile(againMount / "scribble.txt", "x");
  ASSERT_EQ(run("hdiutil", {"detach", again}).status, 0);
  EXPECT_EQ(readFile(compressed), before);
}

// Paths are bytes: an image whose name is not UTF-8 attaches, detaches and is signed and verified
// like any other, and nothing is left in Volumes.
TEST_F(DiskImageTest, ANameThatIsNotUTF8IsJustBytes) {
  const auto image = createImage("Caf\xe9");
  const auto [device, mount] = attach(image);
  ASSERT_TRUE(fs::is_directory(mount));
  EXPECT_EQ(run("hdiutil", {"detach", device}).status, 0);
  EXPECT_TRUE(fs::is_empty(root / "Volumes"));
  const auto signing = run("codesign", {"--force", "--sign", "-", image.string()});
  EXPECT_EQ(signing.status, 0) << signing.standardError;
  const auto check = run("codesign", {"--verify", image.string()});
  EXPECT_EQ(check.status, 0) << check.standardError;
}

TEST_F(DiskImageTest, SignedImageIsNotarizedStapledAndAcceptedByGatekeeper) {
  addIdentity(developerID);
  ASSERT_EQ(macsim({"profile", "add", "release"}).status, 0);
  const auto image = createImage("Demo");
  const auto [device, mount] = attach(image);
  const auto app = makeApp("Demo", true);
  signForRelease(app, true);
  ASSERT_EQ(run("ditto", {app.string(), (mount / "Demo.app").string()}).status, 0);
  ASSERT_EQ(run("hdiutil", {"detach", device}).status, 0);
  const fs::path final = work / "Final.dmg";
  ASSERT_EQ(run("hdiutil", {"convert", image.string(), "-format", "UDZO", "-imagekey",
                            "zlib-level=9", "-ov", "-o", final.string()})
                .status,
            0);

  const auto unsignedCheck = run("codesign", {"--verify", "--verbose=2", final.string()});
  EXPECT_EQ(unsignedCheck.standardError, final.string() + ": code object is not signed at all\n");
  ASSERT_EQ(run("codesign", {"--force", "--sign", developerID, final.string()}).status, 0);
  const auto verified = run("codesign", {"--verify", "--verbose=2", final.string()});
  EXPECT_EQ(verified.standardError, final.string() + ": valid on disk\n" + final.string() +
                                        ": satisfies its Designated Requirement\n");
  EXPECT_THAT(run("codesign", {"-dv", final.string()}).standardError,
              HasSubstr("Format=disk image\n"));

  const auto submitted =
      xcrun({"notarytool", "submit", final.string(), "--keychain-profile", "release", "--wait"});
  ASSERT_THAT(submitted.standardOutput, HasSubstr("  status: Accepted\n"));
  ASSERT_EQ(xcrun({"stapler", "staple", final.string()}).status, 0);

  // Offline, only the stapled ticket and an intact signature can satisfy Gatekeeper.
  const auto gatekeeper =
      run("spctl",
          {"-a", "-t", "open", "-vvv", "--context", "context:primary-signature", final.string()},
          {{"MACSIM_OFFLINE", "1"}});
  EXPECT_EQ(gatekeeper.status, 0);
  EXPECT_EQ(gatekeeper.standardError,
            final.string() + ": accepted\nsource=Notarized Developer ID\norigin=" + developerID +
                "\n");
  EXPECT_EQ(run("spctl", {"-a", "-t", "open", "-vv", final.string()}).standardError,
            final.string() + ": rejected\nsource=Insufficient Context\n");

  // The app inside is covered by the image's ticket (online).
  const auto [inside, insideMount] = attach(final, {"-nobrowse", "-readonly"});
  EXPECT_EQ(
      run("spctl", {"--assess", "-vvv", "--type", "exec", (insideMount / "Demo.app").string()})
          .status,
      0);
  ASSERT_EQ(run("hdiutil", {"detach", insideMount.string(), "-force"}).status, 0);

  // An unsigned image is refused by the notary service, with the image named.
  const fs::path plain = work / "Plain.dmg";
  ASSERT_EQ(
      run("hdiutil", {"convert", image.string(), "-format", "UDZO", "-o", plain.string()}).status,
      0);
  const auto refused =
      xcrun({"notarytool", "submit", plain.string(), "--keychain-profile", "release", "--wait"});
  EXPECT_THAT(refused.standardOutput, HasSubstr("  status: Invalid\n"));
}

TEST_F(DiskImageTest, LicenseResourcesAreAddedReadBackAndBoundBySignature) {
  addIdentity(developerID);
  const auto image = createImage("Demo");
  const fs::path compressed = work / "Out.dmg";
  ASSERT_EQ(
      run("hdiutil", {"convert", image.string(), "-format", "UDZO", "-o", compressed.string()})
          .status,
      0);
  const std::string resources =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>LPic</key><array><dict><key>Attributes</key><integer>0</integer><key>Data</key>"
      "<data>AAAAAQAAAAAAAA==</data><key>ID</key><integer>5000</integer><key>Name</key>"
      "<string></string></dict></array></dict></plist>\n";
  writeFile(work / "sla.plist", resources);
  const auto added =
      run("hdiutil", {"udifrez", "-xml", (work / "sla.plist").string(), "", compressed.string()});
  ASSERT_EQ(added.status, 0) << added.standardError;
  const auto readBack = run("hdiutil", {"udifderez", "-xml", compressed.string()});
  EXPECT_THAT(readBack.standardOutput, HasSubstr("<key>LPic</key>"));
  EXPECT_THAT(readBack.standardOutput, HasSubstr("<integer>5000</integer>"));
  EXPECT_THAT(run("hdiutil", {"imageinfo", compressed.string()}).standardOutput,
              HasSubstr("Software License Agreement: true\n"));
  // The resources travel with the image: converted by either tool, attached, copied.
  const fs::path converted = work / "Converted.dmg";
  ASSERT_EQ(
      run("hdiutil", {"convert", compressed.string(), "-format", "ULFO", "-o", converted.string()})
          .status,
      0);
  ASSERT_EQ(run("diskutil", {"image", "create", "from", "--format", "ULMO", converted.string(),
                             (work / "Modern.dmg").string()})
                .status,
            0);
  attach(work / "Modern.dmg");
  fs::copy_file(work / "Modern.dmg", work / "Copy.dmg");
  EXPECT_EQ(run("hdiutil", {"udifderez", "-xml", (work / "Copy.dmg").string()}).standardOutput,
            readBack.standardOutput);

  // Changing the resources after signing breaks the signature.
  ASSERT_EQ(run("codesign", {"--force", "--sign", developerID, compressed.string()}).status, 0);
  std::string more = resources;
  more.replace(more.find("LPic"), 4, "TEXT");
  writeFile(work / "text.plist", more);
  ASSERT_EQ(
      run("hdiutil", {"udifrez", "-xml", (work / "text.plist").string(), "", compressed.string()})
          .status,
      0);
  EXPECT_THAT(run("hdiutil", {"udifderez", "-xml", compressed.string()}).standardOutput,
              HasSubstr("<key>TEXT</key>"));
  EXPECT_EQ(run("codesign", {"--verify", compressed.string()}).status, 1);

  writeFile(work / "bad.plist", "<plist version=\"1.0\"><dict><key>LPic</key><string>x</string>"
                                "</dict></plist>");
  EXPECT_EQ(
      run("hdiutil", {"udifrez", "-xml", (work / "bad.plist").string(), "", compressed.string()})
          .status,
      1);
}

// The real tool shows an image's agreement and attaches it only when the answer agrees.
TEST_F(DiskImageTest, AnImageWithAnAgreementAttachesOnlyAfterAgreeing) {
  const auto image = createImage("Terms");
  const fs::path compressed = work / "Terms-ro.dmg";
  ASSERT_EQ(
      run("hdiutil", {"convert", image.string(), "-format", "UDZO", "-o", compressed.string()})
          .status,
      0);
  // "Erste Zeile" and "First line" as base64: the German text is first, English is chosen.
  writeFile(work / "sla.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>TEXT</key><array>"
            "<dict><key>Data</key><data>RXJzdGUgWmVpbGU=</data><key>ID</key><integer>5000"
            "</integer><key>Name</key><string>German</string></dict>"
            "<dict><key>Data</key><data>Rmlyc3QgbGluZQ==</data><key>ID</key><integer>5001"
            "</integer><key>Name</key><string>English</string></dict>"
            "</array></dict></plist>\n");
  ASSERT_EQ(
      run("hdiutil", {"udifrez", "-xml", (work / "sla.plist").string(), "", compressed.string()})
          .status,
      0);
  const std::vector<std::string> arguments{"attach", "-nobrowse", "-readonly", "-plist",
                                           compressed.string()};
  for (const auto& refusal : {std::optional<std::string>(), std::optional<std::string>("N\n"),
                              std::optional<std::string>("")}) {
    const auto refused = run("hdiutil", arguments, {}, refusal);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.standardOutput, "First line\nAgree Y/N? ");
    EXPECT_EQ(refused.standardError, "hdiutil: attach canceled\n");
  }
  EXPECT_THAT(stringsFor(run("hdiutil", {"info", "-plist"}).standardOutput, "image-path"),
              IsEmpty());

  const auto agreed = run("hdiutil", arguments, {}, std::string("Y\n"));
  ASSERT_EQ(agreed.status, 0) << agreed.standardError;
  EXPECT_THAT(agreed.standardOutput, StartsWith("First line\nAgree Y/N? <?xml"));
  EXPECT_THAT(stringsFor(agreed.standardOutput, "mount-point"),
              ElementsAre((root / "Volumes/Terms").string()));
}

// `hdiutil info` names an image by its real path, whatever link it was attached through.
TEST_F(DiskImageTest, InfoListsTheResolvedImagePathAndTheRealKeys) {
  const auto image = createImage("Linked");
  fs::create_directory_symlink(work, root / "linked-work");
  attach(root / "linked-work" / "Linked.dmg");
  const auto info = run("hdiutil", {"info", "-plist"}).standardOutput;
  EXPECT_THAT(stringsFor(info, "image-path"), ElementsAre(fs::canonical(image).string()));
  for (const char* key : {"hdid-pid", "blockcount", "blocksize", "icon-path", "diskimages2"})
    EXPECT_THAT(info, HasSubstr(std::string("<key>") + key + "</key>")) << key;
  EXPECT_THAT(info, Not(HasSubstr("image-alias")));
}

TEST_F(DiskImageTest, SizeIsEnforcedWhenTheVolumeIsWrittenBack) {
  const auto image = createImage("Small", "1m");
  const auto [device, mount] = attach(image);
  writeFile(mount / "big.bin", std::string(2 * 1024 * 1024, 'x'));
  const auto full = run("hdiutil", {"detach", device});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.standardError, "hdiutil: detach failed - No space left on device\n");
  EXPECT_TRUE(fs::exists(mount / "big.bin")); // still attached
  fs::remove(mount / "big.bin");
  writeFile(mount / "small.bin", "fits");
  EXPECT_EQ(run("hdiutil", {"detach", device}).status, 0);
  EXPECT_THAT(archiveMemberNames(readFile(image)), Contains("small.bin"));

  writeFile(work / "folder/big.bin", std::string(2 * 1024 * 1024, 'x'));
  EXPECT_EQ(run("hdiutil", {"create", "-size", "1m", "-srcfolder", (work / "folder").string(),
                            "-ov", (work / "x.dmg").string()})
                .standardError,
            "hdiutil: create failed - No space left on device\n");
}

TEST_F(DiskImageTest, BusyVolumesRefuseOrdinaryEjectsUntilForced) {
  const auto image = createImage("Busy");
  const std::map<std::string, std::string> busy = {{"MACSIM_BUSY_EJECTS", "2"}};
  const auto [device, mount] = attach(image);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const auto refused = run("hdiutil", {"detach", device}, busy);
    EXPECT_EQ(refused.status, 16);
    EXPECT_EQ(refused.standardError, "hdiutil: couldn't unmount \"disk4\" - Resource busy\n");
  }
  EXPECT_EQ(run("hdiutil", {"detach", device}, busy).status, 0);

  attach(image);
  EXPECT_EQ(run("hdiutil", {"detach", mount.string(), "-force"}, busy).status, 0);

  // A volume whose image was deleted meanwhile (its workspace removed on cancellation) still
  // detaches, as the clean-up after a cancelled build expects.
  const auto [leftover, leftoverMount] = attach(image);
  fs::remove(image);
  EXPECT_EQ(run("hdiutil", {"detach", leftover, "-force", "-quiet"}).status, 0);
  EXPECT_FALSE(fs::exists(leftoverMount));

  // A stuck volume refuses even forced ejects, through either tool.
  const auto stuckImage = createImage("Stuck");
  const auto [stuck, stuckMount] = attach(stuckImage);
  const std::map<std::string, std::string> stuckKnob = {{"MACSIM_STUCK_VOLUMES", "1"}};
  EXPECT_EQ(run("hdiutil", {"detach", stuck, "-force"}, stuckKnob).status, 16);
  EXPECT_EQ(run("diskutil", {"eject", "force", stuckMount.string()}, stuckKnob).status, 1);
  EXPECT_TRUE(fs::is_directory(stuckMount));
  EXPECT_EQ(run("hdiutil", {"detach", stuck}).status, 0);
}

TEST_F(DiskImageTest, AttachFormsAndTheirFailures) {
  const auto image = createImage("Demo");
  // Explicit mount point, as the self-update does; the folder stays, empty, after detach.
  fs::create_directories(work / "volume");
  const auto attached = run("hdiutil", {"attach", image.string(), "-nobrowse", "-readonly",
                                        "-noautoopen", "-mountpoint", (work / "volume").string()});
  EXPECT_EQ(attached.status, 0);
  EXPECT_THAT(attached.standardOutput, HasSubstr("/dev/disk4s1"));
  EXPECT_THAT(attached.standardOutput, HasSubstr((work / "volume").string()));
  // Attaching the same image again answers with the existing attachment.
  EXPECT_EQ(attach(image).second, work / "volume");
  EXPECT_EQ(run("hdiutil",
                {"convert", image.string(), "-format", "UDZO", "-o", (work / "c.dmg").string()})
                .status,
            0);
  EXPECT_EQ(run("hdiutil", {"detach", (work / "volume").string(), "-quiet"}).standardOutput, "");
  EXPECT_TRUE(fs::is_directory(work / "volume"));

  // Two volumes with one name get distinct mount points; APFS adds a synthesized disk.
  const auto apfs = createImage("Demo2", "20m", "APFS");
  const auto rw = attach(image);
  const auto other = run("hdiutil", {"attach", "-plist", apfs.string()});
  EXPECT_EQ(stringsFor(other.standardOutput, "dev-entry"),
            (std::vector<std::string>{"/dev/disk5", "/dev/disk5s1", "/dev/disk6", "/dev/disk6s1"}));
  EXPECT_EQ(stringsFor(other.standardOutput, "volume-kind"), (std::vector<std::string>{"apfs"}));
  // Converting an image that is attached read-write is refused.
  EXPECT_EQ(run("hdiutil", {"convert", image.string(), "-format", "UDZO", "-ov", "-o",
                            (work / "c.dmg").string()})
                .standardError,
            "hdiutil: convert failed - Resource temporarily unavailable\n");
  EXPECT_EQ(run("hdiutil", {"detach", "/dev/disk6s1"}).status, 0);
  EXPECT_EQ(run("hdiutil", {"detach", rw.first}).status, 0);

  EXPECT_EQ(run("hdiutil", {"attach", (work / "absent.dmg").string()}).standardError,
            "hdiutil: attach failed - No such file or directory\n");
  writeFile(work / "text.dmg", "not an image");
  EXPECT_EQ(run("hdiutil", {"attach", (work / "text.dmg").string()}).standardError,
            "hdiutil: attach failed - image not recognized\n");
  EXPECT_EQ(run("hdiutil", {"detach", "/dev/disk9"}).standardError,
            "hdiutil: detach failed - No such file or directory\n");
  EXPECT_EQ(run("hdiutil", {"create", "-size", "20m", "-fs", "HFS+", image.string()}).standardError,
            "hdiutil: create failed - File exists\n");
  // Without the extension the tool adds it, as the real one does.
  EXPECT_EQ(run("hdiutil", {"create", "-size", "1m", (work / "named").string()}).standardOutput,
            "created: " + (work / "named.dmg").string() + "\n");
  EXPECT_EQ(run("hdiutil", {"frobnicate"}).status, 1);
}

} // namespace macsim::testing

namespace macsim::testing {

TEST_F(DiskImageTest, ChangingASignedImageBreaksItsSignatureAndTheNotaryNamesIt) {
  addIdentity(developerID);
  ASSERT_EQ(macsim({"profile", "add", "release"}).status, 0);
  const auto image = createImage("Demo");
  ASSERT_EQ(run("codesign", {"--force", "--sign", developerID, image.string()}).status, 0);
  // Writing to the read-write volume changes the image.
  const auto [device, mount] = attach(image);
  writeFile(mount / "late.txt", "x");
  ASSERT_EQ(run("hdiutil", {"detach", device}).status, 0);
  const auto verified = run("codesign", {"--verify", "--verbose=2", image.string()});
  EXPECT_EQ(verified.status, 1);
  EXPECT_EQ(verified.standardError,
            image.string() + ": invalid signature (code or signature have been modified)\n");
  const auto submitted = xcrun({"notarytool", "submit", image.string(), "--keychain-profile",
                                "release", "--wait", "--output-format", "json"});
  const auto id = nlohmann::json::parse(submitted.standardOutput)["id"].get<std::string>();
  const auto log = nlohmann::json::parse(
      xcrun({"notarytool", "log", id, "--keychain-profile", "release"}).standardOutput);
  ASSERT_EQ(log["issues"].size(), 1u);
  EXPECT_EQ(log["issues"][0]["path"], "Demo.dmg");
  EXPECT_EQ(log["issues"][0]["message"], "The signature of the binary is invalid.");
}

TEST_F(DiskImageTest, InfoAndImageInfoInTextAndPropertyListForms) {
  const auto image = createImage("Demo");
  EXPECT_EQ(run("hdiutil", {"udifderez", "-xml", image.string()}).standardOutput,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD "
            "PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
            "version=\"1.0\">\n<dict/>\n</plist>\n");
  const auto plist = run("hdiutil", {"imageinfo", "-plist", image.string()});
  EXPECT_EQ(stringsFor(plist.standardOutput, "Format"), (std::vector<std::string>{"UDRW"}));
  EXPECT_THAT(plist.standardOutput,
              HasSubstr("<key>Total Bytes</key>\n\t\t<integer>20971520</integer>"));
  attach(image);
  const auto text = run("hdiutil", {"info"});
  EXPECT_THAT(text.standardOutput, HasSubstr("image-path      : " + image.string() + "\n"));
  EXPECT_THAT(text.standardOutput, HasSubstr("/dev/disk4s1"));
  EXPECT_THAT(run("hdiutil", {"info", "-plist"}).standardOutput,
              HasSubstr("<key>writeable</key>\n\t\t\t<true/>"));
}

} // namespace macsim::testing

namespace macsim::testing {

TEST_F(DiskImageTest, ConcurrentAttachesGetDistinctDevicesAndMountPoints) {
  std::vector<fs::path> images;
  for (int i = 0; i < 4; ++i) {
    images.push_back(work / ("Same" + std::to_string(i) + ".dmg"));
    ASSERT_EQ(run("hdiutil", {"create", "-size", "1m", "-volname", "Same", images.back().string()})
                  .status,
              0);
  }
  std::vector<RunResult> results(images.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < images.size(); ++i)
    threads.emplace_back([&, i] {
      results[i] = run("hdiutil", {"attach", "-plist", images[i].string()});
    });
  for (auto& thread : threads)
    thread.join();
  std::set<std::string> devices, mounts;
  for (const auto& result : results) {
    ASSERT_EQ(result.status, 0) << result.standardError;
    devices.insert(stringsFor(result.standardOutput, "dev-entry").front());
    mounts.insert(stringsFor(result.standardOutput, "mount-point").front());
  }
  EXPECT_EQ(devices.size(), images.size());
  EXPECT_EQ(mounts.size(), images.size());
  EXPECT_EQ(mounts.count((root / "Volumes" / "Same").string()), 1u);
  EXPECT_EQ(mounts.count((root / "Volumes" / "Same 3").string()), 1u);
}

} // namespace macsim::testing
