// The modern disk-image family and the engine choice against the stand-in tools (hdiutil's
// command lines: DiskImagesTest; legacy builds: DMGBuilderTest). Every test ends by checking that
// no image is left attached (`hdiutil info -plist`) and that TMPDIR is empty.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "core/DiskImage/DiskImageEngine.hpp"
#include "core/DiskImage/DiskImages.hpp"
#include "core/DiskImage/ModernDiskImageTool.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/MountTable.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/SystemVersion.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace fs = std::filesystem;

namespace halyard {
namespace {

constexpr const char* busyNote = "The temporary disk image was still busy (usually Spotlight or "
                                 "Finder reading it), so Halyard ejected it with force. This is "
                                 "harmless and the export continued.";

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class DiskImageToolsTest : public ::testing::Test {
protected:
  TemporaryFolder base{"DiskImageTools_"};
  fs::path root = base.path() / "root";
  fs::path temporary = base.path() / "tmp";
  fs::path work = base.path() / "work";
  std::vector<std::string> notes, debugs;
  ModernDiskImageTool modern{ModernDiskImageTool::Timing{
      AppleTools::diskImageLimit, std::chrono::milliseconds(1), std::chrono::milliseconds(1), 30}};

  void SetUp() override {
    ::unsetenv("BOSUN_TOOL_ROOT"); // macsim itself is not a platform tool
    fs::create_directories(temporary);
    fs::create_directories(work);
    CoreCommand::run(MACSIM_BINARY, {"init", root.string(), "--macos", "27.0"}, 60);
    ::setenv("BOSUN_TOOL_ROOT", root.c_str(), 1);
    if (const char* value = std::getenv("TMPDIR")) savedTemporary_ = value;
    ::setenv("TMPDIR", temporary.c_str(), 1);
    HalyardCoreLog::note = [this](const std::string& text) { notes.push_back(text); };
    HalyardCoreLog::debug = [this](const std::string& text) { debugs.push_back(text); };
  }

  void TearDown() override {
    clearKnobs();
    modern.ejectRemaining();
    EXPECT_TRUE(attachedImages().empty()) << "an image was left attached";
    EXPECT_TRUE(fs::is_empty(temporary)) << "something was left in TMPDIR";
    HalyardCoreLog::note = nullptr;
    HalyardCoreLog::debug = nullptr;
    savedTemporary_ ? ::setenv("TMPDIR", savedTemporary_->c_str(), 1) : ::unsetenv("TMPDIR");
    ::unsetenv("BOSUN_TOOL_ROOT");
  }

  void knob(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
    knobs_.push_back(name);
  }
  void clearKnobs() {
    for (const auto& name : knobs_)
      ::unsetenv(name.c_str());
    knobs_.clear();
  }

  std::vector<DiskImageListing::Image> attachedImages() const {
    return DiskImages::info({AppleTools::Runner::shared, 60}).value();
  }
  PropertyList imageInfo(const fs::path& image) const {
    return PropertyList::parseToolOutput(
        CoreCommand::captureData(AppleTools::hdiutil, {"imageinfo", "-plist", image.string()}, 60));
  }
  std::optional<std::int64_t> totalBytes(const fs::path& image) const {
    return PropertyList::integer(imageInfo(image).dictionaryItem("Size Information"),
                                 "Total Bytes");
  }
  std::size_t notesStartingWith(const std::string& prefix) const {
    return std::count_if(notes.begin(), notes.end(),
                         [&](const std::string& text) { return text.rfind(prefix, 0) == 0; });
  }

private:
  std::optional<std::string> savedTemporary_;
  std::vector<std::string> knobs_;
};

TEST_F(DiskImageToolsTest, EngineNeedsSystem27DiskutilThePreferenceAndNoLicense) {
  const auto systemVersion = root / "System/Library/CoreServices/SystemVersion.plist";
  const auto writeVersion = [&](const std::string& version) {
    auto plist = PropertyList::dictionary();
    plist.setString("ProductVersion", version);
    writeFile(systemVersion, plist.xml());
  };
  const auto preferences = [&](const std::string& name, plist_t value, bool binary) {
    auto plist = PropertyList::dictionary();
    plist.set("Halyard.UseModernDiskImageTools", value);
    writeFile(work / name, binary ? plist.binary() : plist.xml());
    return work / name;
  };
  const auto wanted = preferences("binary.plist", plist_new_bool(1), true);
  EXPECT_TRUE(DiskImageEngines::prefersModern(preferences("xml.plist", plist_new_bool(1), false)));
  EXPECT_FALSE(DiskImageEngines::prefersModern(preferences("no.plist", plist_new_bool(0), false)));
  EXPECT_FALSE(
      DiskImageEngines::prefersModern(preferences("text.plist", plist_new_string("YES"), false)));
  EXPECT_FALSE(DiskImageEngines::prefersModern(work / "absent.plist"));

  EXPECT_EQ(DiskImageEngines::resolveWithStoredPreference(false, wanted), DiskImageEngine::modern);
  EXPECT_EQ(DiskImageEngines::resolveWithStoredPreference(true, wanted), DiskImageEngine::legacy);
  EXPECT_EQ(DiskImageEngines::resolve(false, false), DiskImageEngine::legacy);
  writeVersion("26.4.1");
  EXPECT_EQ(DiskImageEngines::resolve(true, false), DiskImageEngine::legacy);
  writeVersion("27");
  EXPECT_TRUE(DiskImageEngines::isModernAvailable());
  fs::remove(root / "usr/sbin/diskutil");
  EXPECT_FALSE(DiskImageEngines::isModernAvailable());
  fs::remove(systemVersion);
  EXPECT_EQ(SystemVersion::current(), Version{}) << "no file: not macOS";
}

TEST_F(DiskImageToolsTest, MountedVolumesUnderTheStandInsAndElsewhere) {
  fs::create_directories(root / "Volumes/My App/inner");
  fs::create_directories(work / "Volumes/Elsewhere");
  EXPECT_TRUE(MountTable::isMountedVolume(root / "Volumes/./My App/"));
  EXPECT_TRUE(MountTable::isMountedVolume("/"));
  for (const auto& path : {root / "Volumes/My App/inner", root / "Volumes", root / "Volumes/Gone",
                           work / "Volumes/Elsewhere", fs::path()})
    EXPECT_FALSE(MountTable::isMountedVolume(path)) << path;
  ::unsetenv("BOSUN_TOOL_ROOT"); // only the file system answers: a plain folder is no volume
  EXPECT_FALSE(MountTable::isMountedVolume(root / "Volumes/My App"));
  ::setenv("BOSUN_TOOL_ROOT", root.c_str(), 1);
  fs::remove_all(root / "Volumes/My App");
}

TEST_F(DiskImageToolsTest, ModernFamilyCreatesAttachesEjectsAndCompresses) {
  const fs::path image = work / "working_rw.dmg", output = work / "export.dmg";
  writeFile(image, "an older file"); // diskutil refuses to overwrite: removed first
  writeFile(output, "an older output");
  modern.createBlank(image, 20, "My App");
  EXPECT_EQ(totalBytes(image), 20 * 1048576LL);
  const auto attachment = modern.attach(image);
  EXPECT_EQ(attachment,
            (ModernDiskImageAttachment{"/dev/disk4", (root / "Volumes/My App").string()}));
  EXPECT_EQ(ModernDiskImageTool::registry().snapshot(), std::vector{attachment});
  modern.eject(attachment);
  EXPECT_TRUE(ModernDiskImageTool::registry().snapshot().empty());
  modern.compress(image, output, DMGCompressionFormat::lzfse);
  EXPECT_EQ(imageInfo(output).string("Format"), "ULFO");
  EXPECT_TRUE(notes.empty());

  knob("MACSIM_BUSY_EJECTS", "1"); // busy or not, whatever is left is ejected at the end
  modern.attach(image);
  modern.attach(output);
  modern.ejectRemaining();
  EXPECT_TRUE(ModernDiskImageTool::registry().snapshot().empty());
  EXPECT_TRUE(attachedImages().empty());
}

TEST_F(DiskImageToolsTest, ModernFailuresNameTheVerbAndReportTheOutput) {
  const fs::path image = work / "blank.dmg";
  const std::string head = "diskutil image create blank --format RAW --fs APFS --size 1048576 "
                           "--volumeName Blank " +
                           image.string() + " failed (status 1): ";
  std::string accents; // 500 characters in 1000 bytes: the note keeps the first 400 characters
  for (int i = 0; i < 500; ++i)
    accents += "\xc3\xa9";
  knob("MACSIM_DISKUTIL_FAIL", "1");
  for (const std::string& output : {std::string(), accents}) {
    knob("MACSIM_DISKUTIL_STDOUT", output);
    notes.clear();
    debugs.clear();
    try {
      modern.createBlank(image, 1, "Blank");
      ADD_FAILURE() << "created";
    } catch (const ModernDiskImageError& error) {
      EXPECT_EQ(error.kind(), ModernDiskImageError::Kind::commandFailed);
      EXPECT_EQ(error.what(),
                output.empty() ? "diskutil image create blank failed with status 1." : output);
    }
    EXPECT_EQ(debugs, std::vector{head + (output.empty() ? "no output" : output)});
    EXPECT_EQ(notes, std::vector{head + (output.empty() ? "no output" : output.substr(0, 800))});
  }
}

TEST_F(DiskImageToolsTest, EjectRetriesForcesRecoversAndGivesUp) {
  const struct {
    const char* name;
    const char* knob; // with "1" or "9"; none: the volume overflows its image, so the forced
                      // eject drops it and still reports an error
    const char* value;
    bool busyNote, recoveredNote, ejectFailed;
  } cases[] = {
      {"busy once, clears on retry", "MACSIM_BUSY_EJECTS", "1", false, false, false},
      {"stays busy, needs force", "MACSIM_BUSY_EJECTS", "9", true, false, false},
      {"vanishes despite an error", nullptr, nullptr, true, true, false},
      {"never unmounts", "MACSIM_STUCK_VOLUMES", "1", true, false, true},
  };
  for (const auto& item : cases) {
    SCOPED_TRACE(item.name);
    notes.clear();
    const fs::path image = work / (std::string(item.name) + ".dmg");
    modern.createBlank(image, 1, "Busy");
    const auto attachment = modern.attach(image);
    if (item.knob)
      knob(item.knob, item.value);
    else
      writeFile(fs::path(attachment.mountPoint) / "big.bin", std::string(2 * 1048576, 'x'));
    try {
      modern.eject(attachment);
      EXPECT_FALSE(item.ejectFailed);
    } catch (const ModernDiskImageError& error) {
      EXPECT_TRUE(item.ejectFailed);
      EXPECT_EQ(error.what(),
                "The temporary disk image at " + attachment.mountPoint + " could not be ejected.");
      EXPECT_EQ(ModernDiskImageTool::registry().snapshot(), std::vector{attachment});
    }
    EXPECT_EQ(notesStartingWith(busyNote), item.busyNote ? 1u : 0u);
    const std::string recovered = "Recovered: diskutil eject: the temporary disk image at " +
                                  attachment.mountPoint +
                                  " was ejected even though diskutil reported an error. This is "
                                  "harmless and the export continued.";
    EXPECT_EQ(notesStartingWith(recovered), item.recoveredNote ? 1u : 0u);
    clearKnobs();
    modern.ejectRemaining();
    EXPECT_TRUE(attachedImages().empty());
  }
}

TEST_F(DiskImageToolsTest, AnAttachWithoutAReadableMountPointLeavesNothingAttached) {
  const fs::path image = work / "Half.dmg";
  modern.createBlank(image, 1, "Half");
  CoreCommand::run(AppleTools::hdiutil, {"attach", image.string()}, 60);
  // Attached, but the answer names no mounted volume.
  knob("MACSIM_DISKUTIL_WHEN", "attach");
  knob("MACSIM_DISKUTIL_FAIL", "0");
  knob("MACSIM_DISKUTIL_STDOUT", "/dev/disk4\tGUID_partition_scheme\t\n/dev/disk4s1\tApple_APFS");
  try {
    modern.attach(image);
    ADD_FAILURE() << "attached";
  } catch (const ModernDiskImageError& error) {
    EXPECT_STREQ(error.what(), "diskutil image attach did not report a mounted volume. "
                               "/dev/disk4\tGUID_partition_scheme\t\n/dev/disk4s1\tApple_APFS");
  }
  EXPECT_TRUE(attachedImages().empty());
  EXPECT_TRUE(ModernDiskImageTool::registry().snapshot().empty());
}

TEST_F(DiskImageToolsTest, ModernRunsHaveATimeLimitAndStopOnCancellation) {
  knob("MACSIM_DISKUTIL_DELAY", "60");
  try {
    ModernDiskImageTool({1, {}, {}, 30}).createBlank(work / "slow.dmg", 1, "Slow");
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
}

} // namespace
} // namespace halyard
