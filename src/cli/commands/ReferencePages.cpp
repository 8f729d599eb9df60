#include "cli/commands/ReferencePages.hpp"

#include <algorithm>
#include <sstream>

#include "cli/commands/BosunMain.hpp"
#include "cli/commands/HelpCommand.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "cli/settings/SettingDefinition.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

using halyard::text::joined;

// The help texts in the order they are searched for an option: the general help, then each
// command's usage in table order.
std::vector<std::string> helpTexts() {
  std::vector<std::string> texts = {HelpCommand::generalText()};
  for (const CommandEntry& command : BosunMain::commands()) {
    if (auto usage = HelpCommand::text(std::string(command.name)); usage && command.name != "help")
      texts.push_back(*usage);
  }
  return texts;
}

bool isNamePart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// The short letter of a long option, or 0.
char shortLetter(const std::string& option) {
  for (const auto& [letter, name] : ParsedArguments::shortFlags())
    if (name == option) return letter;
  return 0;
}

bool takesValue(const std::string& option) {
  return ParsedArguments::valueOptions().count(option) != 0;
}

// The help topics: every command with a usage text, then the two extra topics.
std::vector<std::string> helpTopics() {
  std::vector<std::string> topics;
  for (const CommandEntry& command : BosunMain::commands())
    if (command.name != "help") topics.emplace_back(command.name);
  topics.emplace_back("config");
  topics.emplace_back("exit-codes");
  return topics;
}

std::vector<std::string> commandNames() {
  std::vector<std::string> names;
  for (const CommandEntry& command : BosunMain::commands())
    names.emplace_back(command.name);
  return names;
}

// Text for roff: backslashes and dashes escaped, a line never starting with a control character.
std::string roff(std::string_view text) {
  std::string result;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == '.' || c == '\'')) result += "\\&";
    if (c == '\\')
      result += "\\e";
    else if (c == '-')
      result += "\\-";
    else
      result += c;
    lineStart = c == '\n';
  }
  return result;
}

// A literal block of text, kept as written.
std::string roffBlock(std::string_view text) {
  return ".PP\n.nf\n" + roff(text) + "\n.fi\n";
}

// Single-quoted for a shell: ' becomes '\''.
std::string shellQuoted(std::string_view text) {
  std::string result = "'";
  for (char c : text)
    result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

// Single-quoted for fish, whose quotes escape \ and '.
std::string fishQuoted(std::string_view text) {
  std::string result = "'";
  for (char c : text) {
    if (c == '\\' || c == '\'') result += '\\';
    result += c;
  }
  return result + "'";
}

// A fish completion of folders and the files with one of these extensions.
std::string fishPaths(const std::vector<std::string>& extensions) {
  std::string pattern = "/";
  if (!extensions.empty()) pattern += "|\\.(?:" + joined(extensions, "|") + ")";
  return fishQuoted("(__fish_complete_path (commandline -ct) | string match -r -- \"^.*(?:" +
                    pattern + ")\\t?\\$\")");
}

// The value options as a shell case pattern: --output|-o|--format|-f|...
std::string valueOptionPattern() {
  std::vector<std::string> words;
  for (const std::string& option : ParsedArguments::valueOptions()) {
    words.push_back("--" + option);
    if (char letter = shortLetter(option)) words.push_back(std::string("-") + letter);
  }
  return joined(words, "|");
}

std::vector<std::string> optionWords() {
  std::vector<std::string> words;
  for (const std::string& option : ReferencePages::longOptions())
    words.push_back("--" + option);
  for (const auto& [letter, name] : ParsedArguments::shortFlags())
    words.push_back(std::string("-") + letter);
  return words;
}

bool completesPaths(const std::string& option) {
  return option == "output" || option == "config" || option == "ed-key-file" ||
         !ReferencePages::optionExtensions(option).empty();
}

} // namespace

std::vector<std::string> ReferencePages::longOptions() {
  std::vector<std::string> options(ParsedArguments::valueOptions().begin(),
                                   ParsedArguments::valueOptions().end());
  options.insert(options.end(), ParsedArguments::flagOptions().begin(),
                 ParsedArguments::flagOptions().end());
  std::sort(options.begin(), options.end());
  return options;
}

std::vector<std::string> ReferencePages::optionValues(std::string_view option) {
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    if (setting.valueFlag == option && setting.allowedValues) return *setting.allowedValues;
  }
  return {};
}

std::vector<std::string> ReferencePages::optionExtensions(std::string_view option) {
  if (option == "template") return {"hyd"};
  if (option == "key") return {"p8"};
  if (option == "preview") return {"png"};
  if (option == "appcast") return {"xml"};
  return {};
}

std::vector<std::string> ReferencePages::commandExtensions(std::string_view command) {
  if (command == "notarize" || command == "inspect") return {"dmg", "pkg"};
  if (command == "verify") return {"app", "dmg", "pkg"};
  if (command == "start") return {"app", "zip"};
  return {};
}

std::string ReferencePages::optionDescription(std::string_view option) {
  const std::string mention = "--" + std::string(option);
  for (const std::string& text : helpTexts()) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      size_t at = line.find(mention);
      while (at != std::string::npos && at + mention.size() < line.size() &&
             isNamePart(line[at + mention.size()]))
        at = line.find(mention, at + 1);
      if (at == std::string::npos) continue;
      // The description is what follows the first gap of two or more spaces after the mention.
      const size_t gap = line.find("  ", at);
      if (gap == std::string::npos) continue;
      const size_t start = line.find_first_not_of(' ', gap);
      if (start != std::string::npos) return line.substr(start);
    }
  }
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    if (setting.valueFlag == option || setting.onFlag == option || setting.offFlag == option)
      return setting.title;
  }
  return "";
}

std::string ReferencePages::manualPage() {
  std::string page =
      ".\\\" The manual page of bosun, written by the build from the program's tables.\n";
  page += ".TH BOSUN 1 \"\" \"Bosun " + HelpCommand::version() + "\" \"User Commands\"\n";
  page += ".nh\n.ad l\n";
  page += ".SH NAME\nbosun \\- sign, notarize and staple a Mac app as a DMG or PKG\n";
  page += ".SH SYNOPSIS\n.B bosun\n.I command\n[\\fIoptions\\fR]\n";
  page += ".SH DESCRIPTION\n" + roffBlock(HelpCommand::generalText());
  page += ".SH COMMANDS\n";
  for (const CommandEntry& command : BosunMain::commands()) {
    page += ".TP\n\\fB" + roff(command.synopsis) + "\\fR\n" + roff(command.summary) + "\n";
  }
  for (const CommandEntry& command : BosunMain::commands()) {
    const auto usage = HelpCommand::text(std::string(command.name));
    if (!usage || command.name == "help") continue;
    page += ".SS " + std::string(command.name) + "\n" + roffBlock(*usage);
  }
  page += ".SH OPTIONS\n";
  for (const std::string& option : longOptions()) {
    page += ".TP\n";
    if (char letter = shortLetter(option)) page += "\\fB\\-" + std::string(1, letter) + "\\fR, ";
    page += "\\fB" + roff("--" + option) + "\\fR";
    if (takesValue(option)) {
      const auto values = optionValues(option);
      page += " \\fI" + roff(values.empty() ? "value" : joined(values, "|")) + "\\fR";
    }
    page += "\n" + roff(optionDescription(option)) + "\n";
  }
  page += ".SH CONFIGURATION\n" + roffBlock(*HelpCommand::text(std::string("config")));
  page += ".SH \"EXIT STATUS\"\n" + roffBlock(HelpCommand::exitCodeText());
  page += ".SH \"SEE ALSO\"\n" + roff(HelpCommand::kGuideAddress) + "\n";
  return page;
}

std::string ReferencePages::bashCompletion() {
  std::string script =
      "# bash completion for bosun, written by the build from the program's tables.\n";
  script += R"(_bosun_paths() {
  local IFS=$'\n' extension
  COMPREPLY=( $(compgen -d -- "$cur") )
  for extension in "$@"; do
    COMPREPLY+=( $(compgen -f -X "!*.$extension" -- "$cur") )
  done
}

_bosun() {
  local cur="${COMP_WORDS[COMP_CWORD]}" prev="" command="" i
  (( COMP_CWORD > 0 )) && prev="${COMP_WORDS[COMP_CWORD-1]}"
  COMPREPLY=()
  case "$prev" in
)";
  for (const std::string& option : ParsedArguments::valueOptions()) {
    std::string pattern = "--" + option;
    if (char letter = shortLetter(option)) pattern += std::string("|-") + letter;
    std::string action;
    if (const auto values = optionValues(option); !values.empty())
      action = "COMPREPLY=( $(compgen -W " + shellQuoted(joined(values, " ")) + " -- \"$cur\") )";
    else if (completesPaths(option))
      action = "_bosun_paths " + joined(optionExtensions(option), " ");
    else
      action = ":";
    script += "    " + pattern + ") " + action + "; return ;;\n";
  }
  script += "  esac\n  if [[ \"$cur\" == -* ]]; then\n    COMPREPLY=( $(compgen -W " +
            shellQuoted(joined(optionWords(), " ")) + " -- \"$cur\") )\n    return\n  fi\n";
  script += "  for (( i = 1; i < COMP_CWORD; i++ )); do\n    case \"${COMP_WORDS[i]}\" in\n      " +
            valueOptionPattern() +
            ") (( i++ )) ;;\n      -*) ;;\n      *) command=\"${COMP_WORDS[i]}\"; break ;;\n"
            "    esac\n  done\n  case \"$command\" in\n";
  script += "    \"\") COMPREPLY=( $(compgen -W " + shellQuoted(joined(commandNames(), " ")) +
            " -- \"$cur\") ) ;;\n";
  script += "    help) COMPREPLY=( $(compgen -W " + shellQuoted(joined(helpTopics(), " ")) +
            " -- \"$cur\") ) ;;\n";
  for (const CommandEntry& command : BosunMain::commands()) {
    if (command.synopsis.find(' ') == std::string_view::npos || command.name == "help") continue;
    std::vector<std::string> files;
    for (const std::string& extension : commandExtensions(command.name))
      if (extension != "app") files.push_back(extension); // an app is a folder
    script += "    " + std::string(command.name) + ") _bosun_paths " + joined(files, " ") + " ;;\n";
  }
  script += "  esac\n}\n\ncomplete -o filenames -F _bosun bosun\n";
  return script;
}

std::string ReferencePages::zshCompletion() {
  std::string script =
      "#compdef bosun\n# zsh completion for bosun, written by the build from the "
      "program's tables.\n\n_bosun() {\n  local -a commands options\n  commands=(\n";
  for (const CommandEntry& command : BosunMain::commands())
    script +=
        "    " + shellQuoted(std::string(command.name) + ":" + std::string(command.summary)) + "\n";
  script += "  )\n  options=(" + joined(optionWords(), " ") + ")\n";
  script += "  case ${words[CURRENT-1]} in\n";
  for (const std::string& option : ParsedArguments::valueOptions()) {
    std::string pattern = "--" + option;
    if (char letter = shortLetter(option)) pattern += std::string("|-") + letter;
    std::string action;
    const auto extensions = optionExtensions(option);
    if (const auto values = optionValues(option); !values.empty())
      action = "compadd -- " + joined(values, " ");
    else if (!extensions.empty())
      action = "_files -g '*.(" + joined(extensions, "|") + ")'";
    else if (completesPaths(option))
      action = "_files";
    else
      action = ":";
    script += "    (" + pattern + ") " + action + "; return ;;\n";
  }
  script += "  esac\n  if [[ $PREFIX == -* ]]; then\n    compadd -- $options\n    return\n  fi\n";
  script += "  local command= i\n  for (( i = 2; i < CURRENT; i++ )); do\n    case ${words[i]} in\n"
            "      (" +
            valueOptionPattern() +
            ") (( i++ )) ;;\n      (-*) ;;\n      (*) command=${words[i]}; break ;;\n    esac\n"
            "  done\n  case $command in\n    ('') _describe command commands ;;\n";
  script += "    (help) compadd -- " + joined(helpTopics(), " ") + " ;;\n";
  for (const CommandEntry& command : BosunMain::commands()) {
    if (command.synopsis.find(' ') == std::string_view::npos || command.name == "help") continue;
    const auto extensions = commandExtensions(command.name);
    script += "    (" + std::string(command.name) + ") " +
              (extensions.empty() ? std::string("_files -/")
                                  : "_files -g '*.(" + joined(extensions, "|") + ")'") +
              " ;;\n";
  }
  script += "  esac\n}\n\n_bosun \"$@\"\n";
  return script;
}

std::string ReferencePages::fishCompletion() {
  std::string script =
      "# fish completion for bosun, written by the build from the program's tables.\n"
      "complete -c bosun -f\n";
  for (const CommandEntry& command : BosunMain::commands())
    script += "complete -c bosun -n __fish_use_subcommand -a " + std::string(command.name) +
              " -d " + fishQuoted(command.summary) + "\n";
  script += "complete -c bosun -n '__fish_seen_subcommand_from help' -a " +
            fishQuoted(joined(helpTopics(), " ")) + "\n";
  for (const CommandEntry& command : BosunMain::commands()) {
    if (command.synopsis.find(' ') == std::string_view::npos || command.name == "help") continue;
    const std::string when =
        " -n " + fishQuoted("__fish_seen_subcommand_from " + std::string(command.name));
    script +=
        "complete -c bosun" + when + " -a " + fishPaths(commandExtensions(command.name)) + "\n";
  }
  for (const std::string& option : longOptions()) {
    std::string line = "complete -c bosun";
    if (char letter = shortLetter(option)) line += std::string(" -s ") + letter;
    line += " -l " + option;
    if (takesValue(option)) {
      const auto values = optionValues(option);
      const auto extensions = optionExtensions(option);
      if (!values.empty())
        line += " -x -a " + fishQuoted(joined(values, " "));
      else if (!extensions.empty())
        line += " -x -a " + fishPaths(extensions);
      else if (completesPaths(option))
        line += " -r -F";
      else
        line += " -x";
    }
    if (const std::string description = optionDescription(option); !description.empty())
      line += " -d " + fishQuoted(description);
    script += line + "\n";
  }
  return script;
}

} // namespace bosun
