#pragma once

#include <optional>
#include <string>

#include "core/DMG/DMGFinderLayout.hpp"

namespace halyard {

// Styles a mounted installer volume's window by scripting the running Finder: icon view, window
// size, background picture and the two icons' places; the Finder then saves the layout into the
// volume's .DS_Store. For the desktop app, which has a logged-in Finder; bosun writes the layout
// file itself.
struct FinderAppleScriptStyler {
  // The script. `volumeName` is the volume as the Finder lists it, `backgroundFilename` the
  // picture's path below the volume root with "/" separators. Numbers are truncated toward zero.
  // The two names are written as AppleScript string literals, with backslashes and double
  // quotes escaped.
  static std::string script(const std::string& volumeName,
                            const std::optional<std::string>& backgroundFilename,
                            FinderSize windowSize, FinderPoint appPos, FinderPoint folderPos);

  // Writes the script to "style_<UUID>.applescript" in the temporary folder, runs osascript on
  // it (time limit 3600 s) and removes it again on every path. Succeeds when osascript exits 0,
  // whatever the script answered; throws the file's write error or the CoreCommandError.
  static void style(const std::string& volumeName,
                    const std::optional<std::string>& backgroundFilename, FinderSize windowSize,
                    FinderPoint appPos, FinderPoint folderPos);
};

} // namespace halyard
