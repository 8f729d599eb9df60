// What the two families read out of the disk-image tools' answers.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <unistd.h>

#include "core/DiskImage/DiskImageListing.hpp"
#include "core/DiskImage/LegacyDiskImageTool.hpp"
#include "core/DiskImage/ModernDiskImageTool.hpp"
#include "core/Support/PropertyList.hpp"

namespace halyard {
namespace {

std::string attachPlist(const std::string& entities) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>system-entities</key><array>" +
         entities + "</array></dict></plist>\n";
}

std::string entity(const std::string& device, const std::string& mountPoint = "") {
  std::string text = "<dict><key>content-hint</key><string>Apple_HFS</string>";
  if (!device.empty()) text += "<key>dev-entry</key><string>" + device + "</string>";
  if (!mountPoint.empty()) text += "<key>mount-point</key><string>" + mountPoint + "</string>";
  return text + "</dict>";
}

TEST(LegacyAttachOutput, DeviceAndMountPointAreTheFirstOfEachInAnyEntity) {
  const std::pair<std::string, LegacyDiskImageAttachment> cases[] = {
      {attachPlist(entity("/dev/disk4") + entity("") + entity("", "/Volumes/App") +
                   entity("/dev/disk4s2", "/Volumes/Other")),
       {"/dev/disk4", "/Volumes/App"}},
      // An image with a license agreement: its text (which may quote XML) comes first.
      {"Terms <?xml version=\"1.0\"?> <plist>\nAgree Y/N? " +
           attachPlist(entity("/dev/disk6") + entity("/dev/disk6s1", "/Volumes/Terms")),
       {"/dev/disk6", "/Volumes/Terms"}},
      {"Checksumming...\n<plist version=\"1.0\"><dict><key>system-entities</key><array>" +
           entity("", "/Volumes/X") + entity("/dev/disk3s1") + "</array></dict></plist>",
       {"/dev/disk3s1", "/Volumes/X"}},
  };
  for (const auto& [output, expected] : cases)
    EXPECT_EQ(LegacyDiskImageTool::parseAttachPlist(output), expected) << output;

  const std::string failures[] = {
      attachPlist(entity("/dev/disk4")),
      attachPlist(entity("", "/Volumes/App")),
      attachPlist(entity("/dev/disk4") + "<string>x</string>" + entity("", "/Volumes/App")),
      "hdiutil: attach failed - image not recognized",
  };
  for (const auto& output : failures) {
    try {
      LegacyDiskImageTool::parseAttachPlist(output);
      ADD_FAILURE() << "parsed " << output;
    } catch (const LegacyDiskImageError& error) {
      EXPECT_EQ(error.domain(), "Halyard.hdiutil");
      EXPECT_EQ(error.code(), -1);
      EXPECT_STREQ(error.what(), "Failed to mount.");
    }
  }
}

// `hdiutil info` names images by resolved path, among keys of its own; the whole disk sorts first.
TEST(HdiutilListings, ImagesAreFoundByTheirResolvedPath) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("bosun-listing-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "real");
  std::filesystem::create_directory_symlink(folder / "real", folder / "linked");
  { std::ofstream(folder / "real" / "X.dmg") << "image"; }
  const std::string info =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>framework</key><string>671.100.2</string><key>images</key><array><dict>"
      "<key>blockcount</key><integer>40960</integer><key>hdid-pid</key><integer>512</integer>"
      "<key>image-path</key><string>" +
      (folder / "real" / "X.dmg").string() + "</string><key>system-entities</key><array>" +
      entity("/dev/disk5s2") + entity("/dev/disk5") + entity("/dev/disk5s1", "/Volumes/X") +
      "</array></dict><dict><key>system-entities</key><array>" + entity("/dev/disk6") +
      "</array></dict><dict><key>image-path</key><string>/tmp/Y.dmg</string></dict></array>"
      "<key>revision</key><string>671.100.2</string></dict></plist>\n";
  const auto images = DiskImageListing::images(info);
  EXPECT_EQ(images, (std::vector<DiskImageListing::Image>{
                        {(folder / "real" / "X.dmg").string(), "/dev/disk5", "/Volumes/X"},
                        {"/tmp/Y.dmg", "", std::nullopt}}));
  EXPECT_EQ(DiskImageListing::mountPoint(images, folder / "linked" / "X.dmg"),
            std::filesystem::path("/Volumes/X"));
  EXPECT_EQ(DiskImageListing::mountPoint(images, folder / "real" / "Y.dmg"), std::nullopt);
  const std::string binary = PropertyList::parse(info).binary();
  EXPECT_EQ(
      DiskImageListing::mountPoint(DiskImageListing::images(binary), folder / "linked" / "X.dmg"),
      std::filesystem::path("/Volumes/X"));
  std::filesystem::remove_all(folder);
  for (const char* unreadable :
       {"not a property list",
        "<plist version=\"1.0\"><dict><key>images</key><string>x</string></dict></plist>"})
    EXPECT_TRUE(DiskImageListing::images(unreadable).empty()) << unreadable;
}

TEST(ModernAttachOutput, DeviceNodesAndMountCandidates) {
  for (const auto& [device, whole] : {std::pair{"/dev/disk12s3", "/dev/disk12"},
                                      {"/dev/disk5s1s2", "/dev/disk5"},
                                      {"disk4s1", "disk4s1"},
                                      {"/dev/diskX", "/dev/diskX"}})
    EXPECT_EQ((ModernDiskImageAttachment{device, ""}.wholeDisk()), whole) << device;
  EXPECT_EQ(ModernDiskImageTool::firstDeviceNode("/dev/disk/x as/dev/disk5s1s\t/dev/disk6"),
            "/dev/disk5s1");
  EXPECT_FALSE(ModernDiskImageTool::firstDeviceNode("/dev/diskette /dev/rdisk4").has_value());

  using Candidates = std::vector<std::string>;
  const std::pair<std::string, Candidates> lines[] = {
      {"/dev/disk5s1\tApple_APFS\t  /Volumes/My App  ", {"/Volumes/My App"}},
      {"/\t/private/var/x\t/dev/disk2", {"/private/var/x"}},
      {"mounted at /Volumes/Demo 2", {"/Volumes/Demo 2"}},
      {"/dev/disk6s1\t/System/Volumes/Data/m", {"/System/Volumes/Data/m", "/Volumes/Data/m"}},
      {"/dev/disk5\tGUID_partition_scheme\t", {}},
  };
  for (const auto& [line, expected] : lines)
    EXPECT_EQ(ModernDiskImageTool::mountCandidates(line), expected) << line;
}

TEST(ModernAttachOutput, TheFirstMountedCandidateInLineOrderGivesTheAttachment) {
  const std::set<std::string> mounted = {"/Volumes/My App", "/Volumes/Later"};
  const auto parse = [&](const std::string& output) {
    return ModernDiskImageTool::parseAttachment(
        output, [&](const std::string& path) { return mounted.count(path) != 0; });
  };
  EXPECT_EQ(parse("/dev/disk5\tGUID_partition_scheme\t\r\n"
                  "/dev/disk5s1\tApple_APFS\t/Volumes/Not Mounted\n"
                  "/dev/disk6s1\tApple_APFS\t/Volumes/My App\n"
                  "/dev/disk7s1\tApple_APFS\t/Volumes/Later\n"),
            (ModernDiskImageAttachment{"/dev/disk5", "/Volumes/My App"}));
  EXPECT_FALSE(parse("/dev/disk5s1\tApple_APFS\t/Volumes/Not Mounted\n").has_value());
  EXPECT_FALSE(parse("Apple_APFS\t/Volumes/My App\n").has_value()) << "no device";
}

} // namespace
} // namespace halyard
