// Both disk-image families against the stand-in tools: the command lines they send, the eject
// procedure's retries and notes, the time limit and cancellation.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "DiskImageStandInSupport.hpp"
#include "core/DiskImage/LegacyDiskImageTool.hpp"
#include "core/DiskImage/ModernDiskImageTool.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/MountTable.hpp"

namespace fs = std::filesystem;

namespace halyard::testing {
namespace {

constexpr const char* busyNote =
    "The temporary disk image was still busy (usually Spotlight or Finder reading it), so Halyard "
    "ejected it with force. This is harmless and the export continued.";

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

ModernDiskImageTool quickTool() {
  ModernDiskImageTool::Timing timing;
  timing.retryDelay = std::chrono::milliseconds(1);
  timing.checkInterval = std::chrono::milliseconds(1);
  return ModernDiskImageTool(timing);
}

class DiskImageToolsTest : public DiskImageStandInTest {
protected:
  PropertyList imageInfo(const fs::path& image) const {
    return PropertyList::parseToolOutput(
        CoreCommand::captureData(AppleTools::hdiutil, {"imageinfo", "-plist", image.string()}, 60));
  }
  std::optional<std::int64_t> totalBytes(const fs::path& image) const {
    const auto info = imageInfo(image);
    return PropertyList::integer(info.dictionaryItem("Size Information"), "Total Bytes");
  }
};

TEST_F(DiskImageToolsTest, LegacyFamilyCreatesAttachesDetachesAndCompresses) {
  const fs::path image = work / "working rw.dmg";
  const fs::path output = work / "Out.dmg";
  writeFile(image, "an older file");
  writeFile(output, "an older output");
  LegacyDiskImageTool::createReadWrite(image, 120, "My App");
  EXPECT_EQ(totalBytes(image), 120 * 1048576LL);

  const auto attachment = LegacyDiskImageTool::attach(image);
  EXPECT_EQ(attachment.device, "/dev/disk4");
  EXPECT_EQ(fs::path(attachment.mountPoint), root / "Volumes" / "My App");
  writeFile(fs::path(attachment.mountPoint) / "ReadMe.txt", "hello");
  LegacyDiskImageTool::detach(attachment.device);
  EXPECT_FALSE(fs::exists(attachment.mountPoint));

  LegacyDiskImageTool::compress(image, output, DMGCompressionFormat::zlib);
  EXPECT_EQ(imageInfo(output).string("Format"), "UDZO");

  writeFile(work / "text.dmg", "not an image");
  try {
    LegacyDiskImageTool::attach(work / "text.dmg");
    ADD_FAILURE() << "attached";
  } catch (const CoreCommandError& error) {
    EXPECT_STREQ(error.what(), "hdiutil: attach failed - image not recognized");
  }
}

TEST_F(DiskImageToolsTest, ModernFamilyCreatesAttachesEjectsAndCompresses) {
  const auto tool = quickTool();
  const fs::path image = work / "working_rw.dmg";
  const fs::path output = work / "export.dmg";
  writeFile(image, "an older file"); // removed first: diskutil refuses to overwrite
  writeFile(output, "an older output");
  tool.createBlank(image, 20, "My App");
  EXPECT_EQ(totalBytes(image), 20 * 1048576LL);

  const auto attachment = tool.attach(image);
  EXPECT_EQ(attachment,
            (ModernDiskImageAttachment{"/dev/disk4", (root / "Volumes" / "My App").string()}));
  EXPECT_EQ(ModernDiskImageTool::registry().snapshot(), std::vector{attachment});
  writeFile(fs::path(attachment.mountPoint) / "ReadMe.txt", "hello");
  tool.eject(attachment);
  EXPECT_FALSE(MountTable::isMountedVolume(attachment.mountPoint));
  EXPECT_TRUE(ModernDiskImageTool::registry().snapshot().empty());

  tool.compress(image, output, DMGCompressionFormat::lzfse);
  EXPECT_EQ(imageInfo(output).string("Format"), "ULFO");
  EXPECT_TRUE(notes.empty());

  // Whatever is still attached is ejected at the end, busy or not.
  knob("MACSIM_BUSY_EJECTS", "1");
  tool.attach(image);
  tool.attach(output);
  EXPECT_EQ(ModernDiskImageTool::registry().snapshot().size(), 2u);
  tool.ejectRemaining();
  EXPECT_TRUE(ModernDiskImageTool::registry().snapshot().empty());
  EXPECT_EQ(attachedImages(), std::vector<std::string>{});
}

TEST_F(DiskImageToolsTest, ModernFailuresNameTheVerbAndReportTheOutput) {
  const auto tool = quickTool();
  const fs::path image = work / "blank.dmg";
  const std::string command = "diskutil image create blank --format RAW --fs APFS --size "
                              "1048576 --volumeName Blank " +
                              image.string() + " failed (status 1): ";
  knob("MACSIM_DISKUTIL_FAIL", "1");
  try {
    tool.createBlank(image, 1, "Blank");
    ADD_FAILURE() << "created";
  } catch (const ModernDiskImageError& error) {
    EXPECT_EQ(error.kind(), ModernDiskImageError::Kind::commandFailed);
    EXPECT_STREQ(error.what(), "diskutil image create blank failed with status 1.");
    EXPECT_EQ(error.command(), "image create blank");
  }
  EXPECT_EQ(debugs, std::vector<std::string>{command + "no output"});
  EXPECT_EQ(notes, std::vector<std::string>{command + "no output"});

  // The note keeps the first 400 characters of the output, the debug line all of it.
  std::string long_;
  for (int i = 0; i < 500; ++i)
    long_ += "\xc3\xa9"; // é
  knob("MACSIM_DISKUTIL_STDOUT", long_ + "\n");
  notes.clear();
  debugs.clear();
  try {
    tool.createBlank(image, 1, "Blank");
    ADD_FAILURE() << "created";
  } catch (const ModernDiskImageError& error) {
    EXPECT_EQ(error.what(), long_);
    EXPECT_EQ(error.output(), long_ + "\n");
  }
  EXPECT_EQ(debugs, std::vector<std::string>{command + long_});
  EXPECT_EQ(notes, std::vector<std::string>{command + long_.substr(0, 800)});
}

TEST_F(DiskImageToolsTest, EjectRetriesForcesAndRecovers) {
  const struct {
    const char* name;
    const char* knob;
    const char* value;
    bool overfill; // more than the image holds: the forced eject drops the volume and errs
    bool busyNote;
    bool recoveredNote;
    bool ejectFailed;
  } cases[] = {
      {"busy once, clears on retry", "MACSIM_BUSY_EJECTS", "1", false, false, false, false},
      {"stays busy, needs force", "MACSIM_BUSY_EJECTS", "9", false, true, false, false},
      {"vanishes despite an error", nullptr, nullptr, true, true, true, false},
      {"never unmounts", "MACSIM_STUCK_VOLUMES", "1", false, true, false, true},
  };
  const auto tool = quickTool();
  for (const auto& item : cases) {
    SCOPED_TRACE(item.name);
    notes.clear();
    const fs::path image = work / (std::string(item.name) + ".dmg");
    tool.createBlank(image, 1, "Busy");
    const auto attachment = tool.attach(image);
    if (item.knob) knob(item.knob, item.value);
    if (item.overfill)
      writeFile(fs::path(attachment.mountPoint) / "big.bin", std::string(2 * 1048576, 'x'));
    try {
      tool.eject(attachment);
      EXPECT_FALSE(item.ejectFailed);
    } catch (const ModernDiskImageError& error) {
      EXPECT_TRUE(item.ejectFailed) << error.what();
      EXPECT_EQ(error.kind(), ModernDiskImageError::Kind::ejectFailed);
      EXPECT_EQ(error.what(),
                "The temporary disk image at " + attachment.mountPoint + " could not be ejected.");
      EXPECT_EQ(ModernDiskImageTool::registry().snapshot(), std::vector{attachment});
    }
    EXPECT_EQ(notesStartingWith(busyNote).size(), item.busyNote ? 1u : 0u);
    EXPECT_EQ(notesStartingWith("Recovered: "),
              item.recoveredNote
                  ? std::vector<std::string>{"Recovered: diskutil eject: the temporary disk image "
                                             "at " +
                                             attachment.mountPoint +
                                             " was ejected even though diskutil reported an "
                                             "error. This is harmless and the export continued."}
                  : std::vector<std::string>{});
    clearKnobs();
    tool.ejectRemaining();
    EXPECT_EQ(attachedImages(), std::vector<std::string>{});
    EXPECT_TRUE(ModernDiskImageTool::registry().snapshot().empty());
  }
}

TEST_F(DiskImageToolsTest, AnAttachWithoutAReadableMountPointLeavesNothingAttached) {
  const auto tool = quickTool();
  const fs::path image = work / "Half.dmg";
  tool.createBlank(image, 1, "Half");
  // The image is attached, but the tool's answer names no mounted volume.
  CoreCommand::run(AppleTools::hdiutil, {"attach", image.string()}, 60);
  knob("MACSIM_DISKUTIL_WHEN", "attach");
  knob("MACSIM_DISKUTIL_FAIL", "0");
  knob("MACSIM_DISKUTIL_STDOUT", "/dev/disk4\tGUID_partition_scheme\t\n/dev/disk4s1\tApple_APFS");
  try {
    tool.attach(image);
    ADD_FAILURE() << "attached";
  } catch (const ModernDiskImageError& error) {
    EXPECT_EQ(error.kind(), ModernDiskImageError::Kind::attachUnreadable);
    EXPECT_STREQ(error.what(), "diskutil image attach did not report a mounted volume. "
                               "/dev/disk4\tGUID_partition_scheme\t\n/dev/disk4s1\tApple_APFS");
  }
  EXPECT_EQ(attachedImages(), std::vector<std::string>{});
  EXPECT_TRUE(ModernDiskImageTool::registry().snapshot().empty());
}

TEST_F(DiskImageToolsTest, ModernRunsHaveATimeLimitAndStopOnCancellation) {
  ModernDiskImageTool::Timing timing;
  timing.timeLimit = 1;
  knob("MACSIM_DISKUTIL_DELAY", "60");
  try {
    ModernDiskImageTool(timing).createBlank(work / "slow.dmg", 1, "Slow");
    ADD_FAILURE() << "created";
  } catch (const ModernDiskImageError& error) {
    EXPECT_EQ(error.status(), -2);
    EXPECT_STREQ(error.what(), "The process took too long and was stopped.");
  }

  // With the full limit, cancellation stops the child at once.
  std::optional<ModernDiskImageError> failure;
  std::thread build([&] {
    try {
      ModernDiskImageTool().createBlank(work / "cancelled.dmg", 1, "Cancelled");
    } catch (const ModernDiskImageError& error) {
      failure = error;
    }
  });
  for (int wait = 0; wait < 6000 && ProcessRegistry::shared().runningProcesses().empty(); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ProcessRegistry::shared().beginCancelling();
  build.join();
  ProcessRegistry::shared().endCancelling();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->status(), 128 + SIGTERM);
  EXPECT_FALSE(fs::exists(work / "cancelled.dmg"));
}

} // namespace
} // namespace halyard::testing
