#include "cli/console/TerminalSession.hpp"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "cli/console/Console.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

// A decimal integer with an optional leading sign and nothing else; no value when the text is
// not one or does not fit.
std::optional<long long> parsedInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

} // namespace

TerminalSession::TerminalSession() : TerminalSession(std::cin, Console::shared()) {}

TerminalSession::TerminalSession(std::istream& input, Console& console)
    : input_(input), console_(console) {}

bool TerminalSession::isInteractive() {
  return isInteractive(::isatty(STDIN_FILENO) == 1, ::isatty(STDERR_FILENO) == 1,
                       [](const char* name) { return std::getenv(name) != nullptr; });
}

bool TerminalSession::isInteractive(bool inputIsTerminal, bool errorIsTerminal,
                                    const std::function<bool(const char*)>& isSet) {
  if (!inputIsTerminal || !errorIsTerminal) return false;
  for (const char* name : {"SSH_CONNECTION", "SSH_TTY", "CI", "GITHUB_ACTIONS", "BUILDKITE"}) {
    if (isSet(name)) return false;
  }
  return true;
}

std::optional<std::string> TerminalSession::readLine() {
  std::string line;
  if (!std::getline(input_, line)) {
    ended_ = true;
    return std::nullopt;
  }
  return line;
}

bool TerminalSession::confirm(std::string_view question, bool defaultValue) {
  console_.prompt(std::string(question) + " [" + (defaultValue ? "Y/n" : "y/N") + "]: ");
  const std::optional<std::string> line = readLine();
  if (!line) return defaultValue;
  const std::string answer = halyard::text::lowercasedASCII(halyard::text::trimmed(*line));
  if (answer.empty()) return defaultValue;
  return answer.front() == 'y';
}

std::optional<std::string> TerminalSession::ask(std::string_view question,
                                                const std::optional<std::string>& defaultValue) {
  std::string prompt(question);
  if (defaultValue) prompt += " [" + *defaultValue + "]";
  console_.prompt(prompt + ": ");
  const std::optional<std::string> line = readLine();
  if (!line) return std::nullopt;
  std::string answer = halyard::text::trimmed(*line);
  if (answer.empty()) return defaultValue;
  return answer;
}

std::optional<std::size_t> TerminalSession::choose(std::string_view question,
                                                   const std::vector<std::string>& options,
                                                   std::size_t defaultIndex) {
  if (options.empty()) return std::nullopt;
  std::string list = std::string(question) + "\n";
  for (std::size_t i = 0; i < options.size(); ++i) {
    list += "  " + std::to_string(i + 1) + ". " + options[i] + "\n";
  }
  console_.prompt(list);
  const std::string count = std::to_string(options.size());
  while (true) {
    const std::optional<std::string> answer =
        ask("Choose 1-" + count, std::to_string(defaultIndex + 1));
    if (!answer) return std::nullopt;
    const std::optional<long long> number = parsedInteger(*answer);
    if (number && *number >= 1 && static_cast<unsigned long long>(*number) <= options.size()) {
      return static_cast<std::size_t>(*number - 1);
    }
    console_.prompt("Please type a number from 1 to " + count + ".\n");
  }
}

} // namespace bosun
