#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/DMG/FinderAppleScriptStyler.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/UserFolders.hpp"
#include "support/ScriptedToolRoot.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

// The script as the Finder is to read it, line by line; {0} to {8} are filled in by the cases.
const char* const scriptLines[] = {
    "tell application \"Finder\"",
    "    set diskName to \"{0}\"",
    "",
    "    repeat with i from 1 to 40",
    "        if exists disk diskName then exit repeat",
    "        delay 0.25",
    "    end repeat",
    "",
    "    if not (exists disk diskName) then return \"Error: Disk not found\"",
    "",
    "    tell disk diskName",
    "        open",
    "",
    "        set current view of container window to icon view",
    "        set toolbar visible of container window to false",
    "        set statusbar visible of container window to false",
    "",
    "        set the bounds of container window to {400, 100, {2}, {3}}",
    "",
    "        tell icon view options of container window",
    "            set icon size to {4}",
    "            set arrangement to not arranged",
    "        end tell",
    "",
    "{1}",
    "",
    "        try",
    "            set appName to name of (every item whose name ends with \".app\") as string",
    "            set position of item appName of container window to {{5}, {6}}",
    "        end try",
    "",
    "        set position of item \"Applications\" of container window to {{7}, {8}}",
    "",
    "        update without registering applications",
    "        delay 2",
    "        close",
    "    end tell",
    "end tell",
};

// Volume, line 25, right, bottom, icon size, app x and y, Applications x and y.
using ScriptValues = std::array<std::string, 9>;

std::string expectedScript(const ScriptValues& values) {
  std::string text;
  for (const char* line : scriptLines) {
    if (!text.empty()) text += "\n";
    text += line;
  }
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string marker = "{" + std::to_string(i) + "}";
    for (size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + values[i].size()))
      text.replace(at, marker.size(), values[i]);
  }
  return text;
}

const std::string backgroundLine25 = "           try\n"
                                     "       set bgFile to file \".support:background.png\"\n"
                                     "       tell icon view options of container window\n"
                                     "           set background picture to bgFile\n"
                                     "       end tell\n"
                                     "   end try";

} // namespace

TEST(FinderAppleScriptStyler, ScriptTextIsExactWithAndWithoutBackground) {
  struct Case {
    const char* name;
    std::optional<std::string> background;
    FinderSize window;
    FinderPoint app, folder;
    ScriptValues values;
  };
  const Case cases[] = {
      {"no background, fractions truncated",
       std::nullopt,
       {660.9, 400.2},
       {299.7, 180.2},
       {500.9, 180.99},
       {"Demo", "        ", "1060", "500", "72", "299", "180", "500", "180"}},
      {"background at the reference size",
       ".support/background.png",
       {1600, 1000},
       {550, 513},
       {1050, 513},
       {"My App 2", backgroundLine25, "2000", "1100", "144", "550", "513", "1050", "513"}},
      {"reversed, negative values truncated toward zero",
       ".support/background.png",
       {800, 500},
       {525, 256.5},
       {-0.7, 256.5},
       {"Demo", backgroundLine25, "1200", "600", "72", "525", "256", "0", "256"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FinderAppleScriptStyler::script(c.values[0], c.background, c.window, c.app, c.folder),
              expectedScript(c.values));
  }
}

TEST(FinderAppleScriptStyler, QuotesAndBackslashesInNamesStayInsideTheirStrings) {
  const std::string script =
      FinderAppleScriptStyler::script("Evil\" & (do shell script \"touch /tmp/x\") & \"",
                                      std::string("a\\\"b/c.png"), {800, 500}, {1, 2}, {3, 4});
  EXPECT_THAT(script, ::testing::HasSubstr(
                          "    set diskName to \"Evil\\\" & (do shell script \\\"touch /tmp/x\\\") "
                          "& \\\"\"\n"));
  EXPECT_THAT(script, ::testing::HasSubstr("       set bgFile to file \"a\\\\\\\"b:c.png\"\n"));
}

TEST(FinderAppleScriptStyler, StyleRunsOsascriptOnATemporaryScriptAndRemovesIt) {
  halyard::testing::ScriptedToolRoot tools;
  const std::string seen = (tools.root() / "seen.applescript").string();
  tools.addRecordingTool("/usr/bin/osascript", "arguments.log",
                         "cat \"$1\" > '" + seen + "'\necho 'Error: Disk not found'");
  FinderAppleScriptStyler::style("Demo", std::nullopt, {660, 400}, {160, 205}, {500, 205});

  // A refusing Finder fails the call with osascript's own message.
  tools.addRecordingTool("/usr/bin/osascript", "arguments.log",
                         "echo 'execution error: Not authorized to send Apple events to Finder. "
                         "(-1743)' >&2\nexit 1");
  try {
    FinderAppleScriptStyler::style("Demo", ".support/background.png", {660, 400}, {160, 205},
                                   {500, 205});
    ADD_FAILURE() << "no error";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), 1);
    EXPECT_STREQ(error.what(),
                 "execution error: Not authorized to send Apple events to Finder. (-1743)");
  }

  // Each run had its own script in the temporary folder, gone afterwards.
  const auto arguments = tools.recordedLines("arguments.log");
  ASSERT_EQ(arguments.size(), 2u);
  EXPECT_NE(arguments[0], arguments[1]);
  for (const fs::path script : arguments) {
    EXPECT_EQ(script.parent_path(), UserFolders::temporary());
    EXPECT_THAT(
        script.filename().string(),
        ::testing::MatchesRegex("style_[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.applescript"));
    EXPECT_FALSE(fs::exists(script));
  }
  std::stringstream copy;
  copy << std::ifstream(seen).rdbuf();
  EXPECT_EQ(copy.str(), FinderAppleScriptStyler::script("Demo", std::nullopt, {660, 400},
                                                        {160, 205}, {500, 205}));
}
