#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bosun {

// The manual page and the shell completions, built from the tables the parser and the help use
// (BosunMain::commands(), ParsedArguments' option tables, SettingDefinition's allowed values and
// HelpCommand's texts), so an option or command added there shows up in all of them. The build
// writes them with utilities/bosun-reference; the install puts them where man and the shells
// look.
struct ReferencePages {
  // Every long option the parser knows, sorted: the value options and the flags.
  static std::vector<std::string> longOptions();
  // What a value option completes to: its allowed values (empty when free text or a path).
  static std::vector<std::string> optionValues(std::string_view option);
  // The file extensions a value option's path or a command's argument is completed with.
  static std::vector<std::string> optionExtensions(std::string_view option);
  static std::vector<std::string> commandExtensions(std::string_view command);
  // One line about an option: the help line that mentions it, else its setting's title.
  static std::string optionDescription(std::string_view option);

  static std::string manualPage(); // roff, for share/man/man1/bosun.1
  static std::string bashCompletion();
  static std::string zshCompletion();
  static std::string fishCompletion();
};

} // namespace bosun
