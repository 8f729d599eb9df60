#include "cli/settings/ParsedArguments.hpp"

#include "cli/console/CLIError.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

constexpr const char* kOptionsHint = "Run `bosun help` for the list of options.";

// The length of the character starting at `index`: a whole UTF-8 sequence when the lead byte
// announces one that fits, else one byte. Keeps messages about a short option from cutting a
// character in half.
size_t characterLength(std::string_view text, size_t index) {
  const auto lead = static_cast<unsigned char>(text[index]);
  size_t length = 1;
  if ((lead & 0xE0) == 0xC0)
    length = 2;
  else if ((lead & 0xF0) == 0xE0)
    length = 3;
  else if ((lead & 0xF8) == 0xF0)
    length = 4;
  if (index + length > text.size()) return 1;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[index + i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

[[noreturn]] void usageError(std::string message, std::optional<std::string> hint = std::nullopt) {
  throw CLIError(ExitCode::usage, std::move(message), std::move(hint));
}

} // namespace

const std::set<std::string>& ParsedArguments::valueOptions() {
  static const std::set<std::string> options = {
      "output",         "format",       "identity",    "installer-identity",
      "profile",        "key",          "key-id",      "issuer",
      "template",       "name",         "window",      "compression",
      "arrow",          "app-bundle",   "app",         "config",
      "create-profile", "apple-id",     "team-id",     "preview",
      "appcast",        "download-url", "ed-key-file", "notary-wait",
      "submission",     "jobs",
  };
  return options;
}

const std::set<std::string>& ParsedArguments::flagOptions() {
  static const std::set<std::string> flags = {
      "help",
      "version",
      "verbose",
      "json",
      "yes",
      "quiet",
      "no-color",
      "dry-run",
      "overwrite",
      "deep",
      "no-deep",
      "sign",
      "no-sign",
      "notarize",
      "no-notarize",
      "notarize-app",
      "no-notarize-app",
      "skip-missing-ticket",
      "no-skip-missing-ticket",
      "modern",
      "legacy",
      "reversed",
      "no-reversed",
      "volume-icon",
      "no-volume-icon",
      "no-template",
      "no-license",
      "text",
      "import-halyard",
      "reset",
      "offline",
      "show",
      "check",
  };
  return flags;
}

const std::map<char, std::string>& ParsedArguments::shortFlags() {
  static const std::map<char, std::string> letters = {
      {'h', "help"},  {'v', "verbose"}, {'y', "yes"},
      {'q', "quiet"}, {'o', "output"},  {'f', "format"},
  };
  return letters;
}

ParsedArguments::ParsedArguments(const std::vector<std::string>& arguments) {
  bool endOfOptions = false;
  const size_t count = arguments.size();
  // The argument after index i, consumed as the value of `name`.
  const auto takeNext = [&](size_t& i, const std::string& name) -> std::string {
    if (i + 1 >= count) usageError("--" + name + " needs a value.", kOptionsHint);
    return arguments[++i];
  };

  for (size_t i = 0; i < count; ++i) {
    const std::string& argument = arguments[i];
    if (!endOfOptions && argument.size() > 1 && argument[0] == '-') {
      if (argument == "--") {
        endOfOptions = true;
        continue;
      }
      if (argument[1] == '-') {
        const std::string_view rest = std::string_view(argument).substr(2);
        const size_t equals = rest.find('=');
        const std::string name = halyard::text::lowercasedASCII(rest.substr(0, equals));
        std::optional<std::string> inlineValue;
        if (equals != std::string_view::npos) inlineValue = std::string(rest.substr(equals + 1));

        if (valueOptions().count(name) != 0) {
          values[name] = inlineValue ? *inlineValue : takeNext(i, name);
        } else if (flagOptions().count(name) != 0) {
          if (inlineValue) usageError("--" + name + " does not take a value.");
          flags.insert(name);
        } else {
          usageError("Unknown option --" + name + ".", kOptionsHint);
        }
        continue;
      }
      // A group of short options after one dash, read left to right.
      const std::string_view group = std::string_view(argument).substr(1);
      for (size_t j = 0; j < group.size();) {
        const size_t length = characterLength(group, j);
        const std::string letter(group.substr(j, length));
        const auto known = length == 1 ? shortFlags().find(letter[0]) : shortFlags().end();
        if (known == shortFlags().end())
          usageError("Unknown option -" + letter + ".", kOptionsHint);
        const std::string& longName = known->second;
        if (valueOptions().count(longName) != 0) {
          if (j + length < group.size()) {
            usageError("-" + letter + " needs a value and must come last in a group.");
          }
          values[longName] = takeNext(i, longName);
        } else {
          flags.insert(longName);
        }
        j += length;
      }
      continue;
    }
    if (!command)
      command = argument;
    else
      positionals.push_back(argument);
  }
}

std::optional<std::string> ParsedArguments::value(std::string_view name) const {
  const auto found = values.find(std::string(name));
  if (found == values.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> ParsedArguments::firstPositional() const {
  if (positionals.empty()) return std::nullopt;
  return positionals.front();
}

} // namespace bosun
