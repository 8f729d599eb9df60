#include "StandInFixture.hpp"

#include <gmock/gmock.h>
#include <regex>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace macsim::testing {

class FinderAndDiskutilTest : public StandInFixture {};

TEST_F(FinderAndDiskutilTest, ModernImageVerbsCreateAttachEjectAndConvert) {
  const fs::path image = work / "working_rw.dmg";
  const auto created =
      run("diskutil", {"image", "create", "blank", "--format", "RAW", "--fs", "APFS", "--size",
                       "125829120", "--volumeName", "My App", image.string()});
  ASSERT_EQ(created.status, 0) << created.standardError;

  const auto attached = run("diskutil", {"image", "attach", image.string()});
  ASSERT_EQ(attached.status, 0) << attached.standardError;
  // The device and the mount path, as the product's parser finds them: a tab-separated line
  // holding the mounted volume.
  EXPECT_THAT(attached.standardOutput, HasSubstr("/dev/disk4\t"));
  const fs::path mount = root / "Volumes" / "My App";
  EXPECT_THAT(attached.standardOutput, HasSubstr("\t" + mount.string() + "\n"));
  writeFile(mount / "file.txt", "hello");

  const std::map<std::string, std::string> busy = {{"MACSIM_BUSY_EJECTS", "1"}};
  const auto refused = run("diskutil", {"eject", "/dev/disk4"}, busy);
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.standardOutput + refused.standardError, HasSubstr("could not be unmounted"));
  const auto forced = run("diskutil", {"eject", "force", mount.string()}, busy);
  EXPECT_EQ(forced.status, 0) << forced.standardError;
  EXPECT_EQ(forced.standardOutput, "Disk /dev/disk4 ejected\n");
  EXPECT_FALSE(fs::exists(mount));

  const fs::path compressed = work / "export_compressed.dmg";
  ASSERT_EQ(run("diskutil", {"image", "create", "from", "--format", "ULFO", image.string(),
                             compressed.string()})
                .status,
            0);
  const auto info = run("diskutil", {"image", "info", compressed.string()});
  EXPECT_EQ(info.status, 0);
  EXPECT_THAT(info.standardOutput, HasSubstr("Image Format: ULFO\n"));
  EXPECT_THAT(info.standardOutput, HasSubstr("Volume Name: My App\n"));
  // The file written to the volume is in the converted image too.
  const auto again = run("hdiutil", {"attach", "-readonly", "-plist", compressed.string()});
  EXPECT_TRUE(fs::exists(mount / "file.txt"));

  const auto failing = run(
      "diskutil", {"image", "create", "blank", "--size", "1", "--volumeName", "x", image.string()});
  EXPECT_EQ(failing.status, 1);
  EXPECT_THAT(failing.standardOutput + failing.standardError, HasSubstr("already exists"));
  EXPECT_EQ(run("diskutil", {"eject", "/dev/disk9"}).status, 1);
}

TEST_F(FinderAndDiskutilTest, OsascriptRunsStylingScriptsAndRejectsUnbalancedOnes) {
  const std::string script = "tell application \"Finder\"\n"
                             "    set diskName to \"Demo\"\n\n"
                             "    repeat with i from 1 to 40\n"
                             "        if exists disk diskName then exit repeat\n"
                             "        delay 0.25\n"
                             "    end repeat\n\n"
                             "    if not (exists disk diskName) then return \"Error: Disk not "
                             "found\"\n\n"
                             "    tell disk diskName\n"
                             "        open\n"
                             "        tell icon view options of container window\n"
                             "            set icon size to 72\n"
                             "        end tell\n"
                             "        try\n"
                             "            set appName to name of (every item whose name ends "
                             "with \".app\") as string\n"
                             "        end try\n"
                             "        close\n"
                             "    end tell\n"
                             "end tell";
  writeFile(work / "style.applescript", script);
  // No such volume attached: the script itself gives up, and osascript still succeeds.
  const auto missing = run("osascript", {(work / "style.applescript").string()});
  EXPECT_EQ(missing.status, 0);
  EXPECT_EQ(missing.standardOutput, "Error: Disk not found\n");
  fs::create_directories(root / "Volumes" / "Demo");
  const auto present = run("osascript", {(work / "style.applescript").string()});
  EXPECT_EQ(present.status, 0);
  EXPECT_EQ(present.standardOutput, "");

  writeFile(work / "broken.applescript", "tell application \"Finder\"\n    open\n");
  const auto broken = run("osascript", {(work / "broken.applescript").string()});
  EXPECT_EQ(broken.status, 1);
  EXPECT_THAT(broken.standardError, HasSubstr("syntax error"));
  EXPECT_EQ(run("osascript", {(work / "absent.applescript").string()}).status, 1);
  EXPECT_EQ(run("osascript", {(work / "style.applescript").string()},
                {{"MACSIM_OSASCRIPT_FAIL", "1"},
                 {"MACSIM_OSASCRIPT_STDERR", "execution error: Not authorized to send Apple "
                                             "events to Finder. (-1743)"}})
                .standardError,
            "execution error: Not authorized to send Apple events to Finder. (-1743)\n");
}

} // namespace macsim::testing
