#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/DMG/FinderAppleScriptStyler.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Signing/ScriptedToolRoot.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

// The script as the Finder is to read it, line by line; {VOLUME}, {LINE25}, {R}, {B}, {ICON},
// {AX}, {AY}, {FX}, {FY} are filled in by the cases.
const char* const scriptLines[] = {
    "tell application \"Finder\"",
    "    set diskName to \"{VOLUME}\"",
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
    "        set the bounds of container window to {400, 100, {R}, {B}}",
    "",
    "        tell icon view options of container window",
    "            set icon size to {ICON}",
    "            set arrangement to not arranged",
    "        end tell",
    "",
    "{LINE25}",
    "",
    "        try",
    "            set appName to name of (every item whose name ends with \".app\") as string",
    "            set position of item appName of container window to {{AX}, {AY}}",
    "        end try",
    "",
    "        set position of item \"Applications\" of container window to {{FX}, {FY}}",
    "",
    "        update without registering applications",
    "        delay 2",
    "        close",
    "    end tell",
    "end tell",
};

std::string expectedScript(const std::map<std::string, std::string>& values) {
  std::string text;
  for (const char* line : scriptLines) {
    if (!text.empty()) text += "\n";
    text += line;
  }
  for (const auto& [key, value] : values) {
    const std::string marker = "{" + key + "}";
    for (size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + value.size()))
      text.replace(at, marker.size(), value);
  }
  return text;
}

const std::string backgroundLine25 = "           try\n"
                                     "       set bgFile to file \".support:background.png\"\n"
                                     "       tell icon view options of container window\n"
                                     "           set background picture to bgFile\n"
                                     "       end tell\n"
                                     "   end try";

// Points the user's temporary folder at `folder` for the life of the object.
class TemporaryDirectoryOverride {
public:
  explicit TemporaryDirectoryOverride(const fs::path& folder) {
    if (const char* old = std::getenv("TMPDIR")) previous_ = old;
    ::setenv("TMPDIR", folder.c_str(), 1);
  }
  ~TemporaryDirectoryOverride() {
    if (previous_) {
      ::setenv("TMPDIR", previous_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }

private:
  std::optional<std::string> previous_;
};

} // namespace

TEST(FinderAppleScriptStyler, ScriptTextIsExactWithAndWithoutBackground) {
  struct Case {
    const char* name;
    std::optional<std::string> background;
    FinderSize window;
    FinderPoint app, folder;
    std::map<std::string, std::string> values;
  };
  const Case cases[] = {
      {"no background, fractions truncated",
       std::nullopt,
       {660.9, 400.2},
       {299.7, 180.2},
       {500.9, 180.99},
       {{"VOLUME", "Demo"},
        {"LINE25", "        "},
        {"R", "1060"},
        {"B", "500"},
        {"ICON", "72"},
        {"AX", "299"},
        {"AY", "180"},
        {"FX", "500"},
        {"FY", "180"}}},
      {"background at the reference size",
       ".support/background.png",
       {1600, 1000},
       {550, 513},
       {1050, 513},
       {{"VOLUME", "My App 2"},
        {"LINE25", backgroundLine25},
        {"R", "2000"},
        {"B", "1100"},
        {"ICON", "144"},
        {"AX", "550"},
        {"AY", "513"},
        {"FX", "1050"},
        {"FY", "513"}}},
      {"reversed: Applications on the left, negative values truncated toward zero",
       ".support/background.png",
       {800, 500},
       {525, 256.5},
       {-0.7, 256.5},
       {{"VOLUME", "Demo"},
        {"LINE25", backgroundLine25},
        {"R", "1200"},
        {"B", "600"},
        {"ICON", "72"},
        {"AX", "525"},
        {"AY", "256"},
        {"FX", "0"},
        {"FY", "256"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string volume = c.values.at("VOLUME");
    EXPECT_EQ(FinderAppleScriptStyler::script(volume, c.background, c.window, c.app, c.folder),
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
  TemporaryFolder temporary("Halyard_StylerTest_");
  const TemporaryDirectoryOverride override(temporary.path());
  const std::string seen = (tools.root() / "seen.applescript").string();
  tools.addRecordingTool("/usr/bin/osascript", "arguments.log",
                         "cat \"$1\" > '" + seen + "'\necho 'Error: Disk not found'");

  FinderAppleScriptStyler::style("Demo", std::nullopt, {660, 400}, {160, 205}, {500, 205});
  const auto arguments = tools.recordedLines("arguments.log");
  ASSERT_EQ(arguments.size(), 1u);
  const fs::path scriptFile = arguments[0];
  EXPECT_EQ(scriptFile.parent_path(), temporary.path());
  EXPECT_THAT(
      scriptFile.filename().string(),
      ::testing::MatchesRegex("style_[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.applescript"));
  std::stringstream copy;
  copy << std::ifstream(seen).rdbuf();
  EXPECT_EQ(copy.str(), FinderAppleScriptStyler::script("Demo", std::nullopt, {660, 400},
                                                        {160, 205}, {500, 205}));
  EXPECT_TRUE(fs::is_empty(temporary.path()));

  // A refusing Finder fails the call with osascript's own message; the script is gone as well.
  tools.addTool("/usr/bin/osascript",
                "echo 'execution error: Not authorized to send Apple events to Finder. (-1743)' "
                ">&2\nexit 1");
  try {
    FinderAppleScriptStyler::style("Demo", ".support/background.png", {660, 400}, {160, 205},
                                   {500, 205});
    ADD_FAILURE() << "no error";
  } catch (const CoreCommandError& error) {
    EXPECT_EQ(error.code(), 1);
    EXPECT_STREQ(error.what(),
                 "execution error: Not authorized to send Apple events to Finder. (-1743)");
  }
  EXPECT_TRUE(fs::is_empty(temporary.path()));
}
