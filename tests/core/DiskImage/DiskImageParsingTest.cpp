// What the two families read out of the disk-image tools' output.
#include <gtest/gtest.h>

#include <set>

#include "core/DiskImage/LegacyDiskImageTool.hpp"
#include "core/DiskImage/ModernDiskImageTool.hpp"

namespace halyard {
namespace {

std::string attachPlist(const std::string& entities) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\"><dict><key>system-entities</key><array>" +
         entities + "</array></dict></plist>\n";
}

std::string entity(const std::string& device, const std::string& mountPoint = "") {
  std::string text = "<dict>";
  if (!device.empty()) text += "<key>dev-entry</key><string>" + device + "</string>";
  if (!mountPoint.empty()) text += "<key>mount-point</key><string>" + mountPoint + "</string>";
  return text + "<key>content-hint</key><string>Apple_HFS</string></dict>";
}

TEST(LegacyAttachOutput, DeviceAndMountPointAreTheFirstOfEachInAnyEntity) {
  const struct {
    const char* name;
    std::string output;
    LegacyDiskImageAttachment expected;
  } cases[] = {
      {"warning line before the XML",
       "hdiutil: attach: WARNING: ignoring IDME options (obsolete)\n" +
           attachPlist(entity("/dev/disk4") + entity("/dev/disk4s1", "/Volumes/My App")),
       {"/dev/disk4", "/Volumes/My App"}},
      {"mount point in a later entity than the device",
       attachPlist(entity("/dev/disk4") + entity("") + entity("", "/Volumes/App") +
                   entity("/dev/disk4s2", "/Volumes/Other")),
       {"/dev/disk4", "/Volumes/App"}},
      {"mount point before any device",
       attachPlist(entity("", "/Volumes/First") + entity("/dev/disk7s1")),
       {"/dev/disk7s1", "/Volumes/First"}},
      {"no declaration, text before the plist element",
       "Checksumming...\n<plist version=\"1.0\"><dict><key>system-entities</key><array>" +
           entity("/dev/disk3", "/Volumes/X") + "</array></dict></plist>",
       {"/dev/disk3", "/Volumes/X"}},
  };
  for (const auto& item : cases) {
    SCOPED_TRACE(item.name);
    EXPECT_EQ(LegacyDiskImageTool::parseAttachPlist(item.output), item.expected);
  }
}

TEST(LegacyAttachOutput, IncompleteOrMalformedOutputFailsToMount) {
  const std::string outputs[] = {
      attachPlist(entity("/dev/disk4")),       // no mount point
      attachPlist(entity("", "/Volumes/App")), // no device
      attachPlist(entity("/dev/disk4") + "<string>x</string>" +
                  entity("/dev/disk4s1", "/Volumes/App")), // an entity that is no dictionary
      "<plist version=\"1.0\"><array/></plist>",           // not a dictionary
      "hdiutil: attach failed - image not recognized",     // no property list at all
      std::string("\xff\xfe<plist>", 9),                   // not UTF-8
  };
  for (const auto& output : outputs) {
    SCOPED_TRACE(output);
    try {
      LegacyDiskImageTool::parseAttachPlist(output);
      ADD_FAILURE() << "parsed";
    } catch (const LegacyDiskImageError& error) {
      EXPECT_EQ(error.domain(), "Halyard.hdiutil");
      EXPECT_EQ(error.code(), -1);
      EXPECT_STREQ(error.what(), "Failed to mount.");
    }
  }
}

TEST(ModernAttachOutput, WholeDiskNodesAndDeviceNodes) {
  const std::pair<const char*, const char*> wholeDisks[] = {
      {"/dev/disk12s3", "/dev/disk12"},   {"/dev/disk5s1s2", "/dev/disk5"},
      {"/dev/disk4", "/dev/disk4"},       {"disk4s1", "disk4s1"}, // no /dev/ prefix: unchanged
      {"/dev/diskX", "/dev/diskX"},                               // no number: unchanged
      {"/dev/rdisk4s1", "/dev/rdisk4s1"}, // the raw node is not matched at its start
  };
  for (const auto& [device, whole] : wholeDisks)
    EXPECT_EQ((ModernDiskImageAttachment{device, "/Volumes/X"}.wholeDisk()), whole) << device;

  EXPECT_EQ(ModernDiskImageTool::firstDeviceNode("/dev/disk/x then /dev/disk5s1s\t/dev/disk6"),
            "/dev/disk5s1");
  EXPECT_EQ(ModernDiskImageTool::firstDeviceNode("attached as/dev/disk9s2:"), "/dev/disk9s2")
      << "the pattern matches anywhere in the text";
  EXPECT_FALSE(
      ModernDiskImageTool::firstDeviceNode("/dev/disk /dev/diskette /dev/rdisk4").has_value());
}

TEST(ModernAttachOutput, MountCandidatesOfOneLine) {
  using Candidates = std::vector<std::string>;
  const std::pair<std::string, Candidates> cases[] = {
      {"/dev/disk5s1\tApple_APFS\t/Volumes/My App", {"/Volumes/My App"}},
      {"/dev/disk5s1\tApple_APFS\t  /Volumes/My App  ", {"/Volumes/My App"}},
      {"/dev/disk5\tGUID_partition_scheme\t", {}},
      {"/\t/private/var/x\t/dev/disk2", {"/private/var/x"}},
      {"mounted at /Volumes/Demo 2 (read-only)", {"/Volumes/Demo 2 (read-only)"}},
      {"/dev/disk6s1\t/System/Volumes/Data/mnt", {"/System/Volumes/Data/mnt", "/Volumes/Data/mnt"}},
      {"/tmp/root/Volumes/My App", {"/tmp/root/Volumes/My App", "/Volumes/My App"}},
      {"", {}},
  };
  for (const auto& [line, expected] : cases)
    EXPECT_EQ(ModernDiskImageTool::mountCandidates(line), expected) << line;
}

TEST(ModernAttachOutput, TheFirstMountedCandidateInLineOrderGivesTheAttachment) {
  const std::set<std::string> mounted = {"/Volumes/My App", "/Volumes/Later"};
  const auto isMounted = [&](const std::string& path) { return mounted.count(path) != 0; };
  const auto parse = [&](const std::string& output) {
    return ModernDiskImageTool::parseAttachment(output, isMounted);
  };
  const auto found = parse("/dev/disk5\tGUID_partition_scheme\t\r\n"
                           "/dev/disk5s1\tApple_APFS\t/Volumes/Not Mounted\n"
                           "/dev/disk6s1\tApple_APFS\t/Volumes/My App\n"
                           "/dev/disk7s1\tApple_APFS\t/Volumes/Later\n");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, (ModernDiskImageAttachment{"/dev/disk5", "/Volumes/My App"}))
      << "the device is the first node anywhere in the output";

  EXPECT_FALSE(parse("/dev/disk5s1\tApple_APFS\t/Volumes/Not Mounted\n").has_value());
  EXPECT_FALSE(parse("Apple_APFS\t/Volumes/My App\n").has_value()) << "no device";
}

} // namespace
} // namespace halyard
