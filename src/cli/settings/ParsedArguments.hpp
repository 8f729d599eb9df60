#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace bosun {

// The process arguments (without the program name) as a command word, positional arguments,
// option values and flags, read in one pass. Every option of every command is known here, so a
// misspelt option is a usage error whatever the command; what an option means is decided later.
//
// Syntax: `--name value`, `--name=value`, `--flag`, short letters `-v`, grouped `-vq`, a short
// option that takes a value last in its group (`-qo out.dmg`), `--` ends the options, and `-`
// alone is a positional argument. Option names are matched lower-cased; values are kept as given.
struct ParsedArguments {
  // Throws CLIError with the code `usage` at the first error.
  explicit ParsedArguments(const std::vector<std::string>& arguments);
  ParsedArguments() = default;

  std::optional<std::string> command;
  std::vector<std::string> positionals;
  std::map<std::string, std::string> values; // option name without dashes -> last value
  std::set<std::string> flags;               // flag names without dashes

  bool hasFlag(std::string_view name) const { return flags.count(std::string(name)) != 0; }
  std::optional<std::string> value(std::string_view name) const;
  // The first positional argument after the command word, if any.
  std::optional<std::string> firstPositional() const;

  // The options that take a value, the flags, and the single letters after one dash.
  static const std::set<std::string>& valueOptions();
  static const std::set<std::string>& flagOptions();
  static const std::map<char, std::string>& shortFlags();
};

} // namespace bosun
