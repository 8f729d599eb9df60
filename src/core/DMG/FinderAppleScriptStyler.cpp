#include "core/DMG/FinderAppleScriptStyler.hpp"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/UUID.hpp"
#include "core/Support/UserFolders.hpp"

namespace halyard {

namespace {

// Truncated toward zero. Values beyond the 64-bit range (and NaN) are outside what callers may
// pass; they are written as 0 rather than converted with undefined behaviour.
std::string whole(double value) {
  if (!(std::fabs(value) < 9.2e18)) return "0";
  return std::to_string(static_cast<long long>(std::trunc(value)));
}

// The text of an AppleScript string literal: a backslash or double quote in a name would
// otherwise end the literal and let the rest of the name run as script.
std::string literal(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '\\' || c == '"') escaped.push_back('\\');
    escaped.push_back(c);
  }
  return escaped;
}

std::string hfsPath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = ':';
  }
  return path;
}

} // namespace

std::string FinderAppleScriptStyler::script(const std::string& volumeName,
                                            const std::optional<std::string>& backgroundFilename,
                                            FinderSize windowSize, FinderPoint appPos,
                                            FinderPoint folderPos) {
  std::string background;
  if (backgroundFilename) {
    background = "   try\n"
                 "       set bgFile to file \"" +
                 literal(hfsPath(*backgroundFilename)) +
                 "\"\n"
                 "       tell icon view options of container window\n"
                 "           set background picture to bgFile\n"
                 "       end tell\n"
                 "   end try";
  }
  return "tell application \"Finder\"\n"
         "    set diskName to \"" +
         literal(volumeName) +
         "\"\n"
         "\n"
         "    repeat with i from 1 to 40\n"
         "        if exists disk diskName then exit repeat\n"
         "        delay 0.25\n"
         "    end repeat\n"
         "\n"
         "    if not (exists disk diskName) then return \"Error: Disk not found\"\n"
         "\n"
         "    tell disk diskName\n"
         "        open\n"
         "\n"
         "        set current view of container window to icon view\n"
         "        set toolbar visible of container window to false\n"
         "        set statusbar visible of container window to false\n"
         "\n"
         "        set the bounds of container window to {400, 100, " +
         whole(std::trunc(windowSize.width) + 400) + ", " +
         whole(std::trunc(windowSize.height) + 100) +
         "}\n"
         "\n"
         "        tell icon view options of container window\n"
         "            set icon size to " +
         whole(halyardFinderIconSize(windowSize)) +
         "\n"
         "            set arrangement to not arranged\n"
         "        end tell\n"
         "\n"
         "        " +
         background +
         "\n"
         "\n"
         "        try\n"
         "            set appName to name of (every item whose name ends with \".app\") as "
         "string\n"
         "            set position of item appName of container window to {" +
         whole(appPos.x) + ", " + whole(appPos.y) +
         "}\n"
         "        end try\n"
         "\n"
         "        set position of item \"Applications\" of container window to {" +
         whole(folderPos.x) + ", " + whole(folderPos.y) +
         "}\n"
         "\n"
         "        update without registering applications\n"
         "        delay 2\n"
         "        close\n"
         "    end tell\n"
         "end tell";
}

void FinderAppleScriptStyler::style(const std::string& volumeName,
                                    const std::optional<std::string>& backgroundFilename,
                                    FinderSize windowSize, FinderPoint appPos,
                                    FinderPoint folderPos) {
  const auto file = UserFolders::temporary() / ("style_" + UUID::randomString() + ".applescript");
  struct Removal {
    const std::filesystem::path& file;
    ~Removal() {
      std::error_code ignored;
      std::filesystem::remove(file, ignored);
    }
  } removal{file};
  AtomicFile::writeAll(file, script(volumeName, backgroundFilename, windowSize, appPos, folderPos));
  CoreCommand::capture(AppleTools::osascript, {file.string()}, AppleTools::diskImageLimit);
}

} // namespace halyard
