#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bosun {

class Console;

// The small interactive operations: is this a terminal, a yes/no question, a free-text question
// and a numbered choice. Prompts go through Console::prompt; answers are read one line at a time,
// and the end of the input counts as no answer.
class TerminalSession {
public:
  // Standard input and the shared console.
  TerminalSession();
  // Another input and console (tests).
  TerminalSession(std::istream& input, Console& console);

  // True when standard input and standard error are both terminals and none of SSH_CONNECTION,
  // SSH_TTY, CI, GITHUB_ACTIONS, BUILDKITE is set (whatever its value).
  static bool isInteractive();
  static bool isInteractive(bool inputIsTerminal, bool errorIsTerminal,
                            const std::function<bool(const char* name)>& isSet);

  // "question [Y/n]: " or "question [y/N]: "; true when the answer starts with "y" (any case),
  // the default for an empty answer or the end of the input.
  bool confirm(std::string_view question, bool defaultValue);

  // "question [default]: "; the trimmed answer, the default for an empty one, no value at the
  // end of the input.
  std::optional<std::string> ask(std::string_view question,
                                 const std::optional<std::string>& defaultValue = std::nullopt);

  // Prints the question and the numbered options, then asks "Choose 1-N" until the answer is a
  // number in range. Returns its index, or no value at the end of the input or without options.
  std::optional<std::size_t> choose(std::string_view question,
                                    const std::vector<std::string>& options,
                                    std::size_t defaultIndex);

  // True once a question found the end of the input (Ctrl-D, a closed pipe).
  bool inputEnded() const { return ended_; }

private:
  std::optional<std::string> readLine();

  std::istream& input_;
  Console& console_;
  bool ended_ = false;
};

} // namespace bosun
