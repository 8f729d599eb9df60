#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/commands/BosunMain.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "support/ChildRun.hpp"

namespace {

using bosun::testing::RunOptions;
using bosun::testing::runProgram;

// What the build wrote with bosun-reference, as the install copies it.
const std::filesystem::path kReference =
    std::filesystem::path(TEST_HELPER_DIR).parent_path() / "reference";

bosun::testing::RunResult
run(const std::filesystem::path& program, std::vector<std::string> arguments,
    const std::filesystem::path& folder = std::filesystem::current_path()) {
  RunOptions options;
  options.executable = program;
  options.arguments = std::move(arguments);
  options.baseEnvironment = {{"PATH", "/usr/bin:/bin"}, {"LANG", "C.UTF-8"}};
  options.workingDirectory = folder;
  return runProgram(options);
}

bool mentions(const std::string& text, const std::string& word) {
  const auto isNamePart = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
  };
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const bool before = at == 0 || !isNamePart(text[at - 1]);
    const bool after = at + word.size() == text.size() || !isNamePart(text[at + word.size()]);
    if (before && after) return true;
  }
  return false;
}

TEST(ReferencePagesTest, ManualPageRendersCleanlyAndNamesEveryCommandAndOption) {
  const std::filesystem::path groff = "/usr/bin/groff";
  if (!std::filesystem::exists(groff)) GTEST_SKIP() << "groff is not installed";
  const std::string page = (kReference / "bosun.1").string();
  const auto checked = run(groff, {"-k", "-man", "-Tutf8", "-ww", "-z", page});
  ASSERT_TRUE(checked.exitedWith(0));
  EXPECT_EQ(checked.standardError, "");

  const auto rendered = run(groff, {"-k", "-man", "-Tutf8", "-P-cbou", "-rLL=200n", page});
  ASSERT_TRUE(rendered.exitedWith(0));
  // groff draws an escaped dash as a minus sign.
  std::string text = rendered.standardOutput;
  for (size_t at; (at = text.find("\xE2\x88\x92")) != std::string::npos;)
    text.replace(at, 3, "-");

  for (const auto& command : bosun::BosunMain::commands())
    EXPECT_TRUE(mentions(text, std::string(command.name))) << command.name;
  for (const auto* table :
       {&bosun::ParsedArguments::valueOptions(), &bosun::ParsedArguments::flagOptions()})
    for (const std::string& option : *table)
      EXPECT_TRUE(mentions(text, "--" + option)) << option;
  for (const auto& [letter, name] : bosun::ParsedArguments::shortFlags())
    EXPECT_TRUE(mentions(text, std::string("-") + letter + ", --" + name)) << letter;
}

// The bash completion, driven as bash drives it: the words typed so far, then what it offers.
TEST(ReferencePagesTest, BashCompletionOffersCommandsOptionsValuesAndFilesByExtension) {
  halyard::TemporaryFolder folder{"ReferencePagesTest_"};
  for (const char* name : {"Release.dmg", "Installer.pkg", "Build.zip", "notes.txt", "Look.hyd"})
    std::ofstream(folder.path() / name) << "x";
  std::filesystem::create_directory(folder.path() / "MyApp.app");

  struct Case {
    std::string typed; // the words; the last one is being completed
    std::vector<std::string> offered;
  };
  const std::vector<Case> cases = {
      {"bosun no", {"notarize"}},
      {"bosun start --ov", {"--overwrite"}},
      {"bosun start --dry-run --format ", {"dmg", "pkg"}},
      {"bosun -q start -f p", {"pkg"}},
      {"bosun help ex", {"exit-codes"}},
      {"bosun --json notarize ", {"Installer.pkg", "MyApp.app", "Release.dmg"}},
      {"bosun inspect R", {"Release.dmg"}},
      {"bosun -o out start ", {"Build.zip", "MyApp.app"}},
      {"bosun verify ", {"Installer.pkg", "MyApp.app", "Release.dmg"}},
      {"bosun start --template ", {"Look.hyd", "MyApp.app"}},
  };
  for (const Case& entry : cases) {
    std::vector<std::string> words;
    std::string script = "source '" + (kReference / "bosun.bash").string() + "'\nCOMP_WORDS=(";
    size_t start = 0;
    while (true) {
      const size_t space = entry.typed.find(' ', start);
      script += "'" + entry.typed.substr(start, space - start) + "' ";
      words.push_back(entry.typed.substr(start, space - start));
      if (space == std::string::npos) break;
      start = space + 1;
    }
    script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) +
              "\n_bosun\nprintf '%s\\n' \"${COMPREPLY[@]}\" | sort\ncomplete -p bosun >&2\n";
    const auto result = run("/bin/bash", {"--norc", "-c", script}, folder.path());
    ASSERT_TRUE(result.exitedWith(0)) << entry.typed << result.standardError;
    std::vector<std::string> offered = result.outputLines();
    offered.erase(std::remove(offered.begin(), offered.end(), ""), offered.end());
    EXPECT_EQ(offered, entry.offered) << entry.typed;
    EXPECT_EQ(result.standardError, "complete -o filenames -F _bosun bosun\n");
  }
}

} // namespace

namespace {

// The zsh and fish completions at least read as scripts of their shells, where those are
// installed.
TEST(ReferencePagesTest, ZshAndFishCompletionsParse) {
  for (const auto& [shell, script] :
       {std::pair{"/usr/bin/zsh", "_bosun"}, {"/usr/bin/fish", "bosun.fish"}}) {
    if (!std::filesystem::exists(shell)) continue;
    const auto result = run(shell, {"-n", (kReference / script).string()});
    EXPECT_TRUE(result.exitedWith(0)) << shell << result.standardError;
  }
}

} // namespace
