#include "cli/console/Console.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>

#include "cli/console/Redactor.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

// Terminal escapes in tool text made visible line by line; the line feeds stay.
std::string printableLines(std::string_view text) {
  std::string result;
  while (true) {
    const size_t end = text.find('\n');
    result += halyard::text::printable(text.substr(0, end));
    if (end == std::string_view::npos) return result;
    result += '\n';
    text.remove_prefix(end + 1);
  }
}

constexpr std::string_view kEscape = "\x1B";
constexpr std::string_view kReset = "\x1B[0m";

std::string coloured(std::string_view colour, std::string_view text) {
  std::string result;
  result.reserve(colour.size() + text.size() + 8);
  result.append(kEscape).append(colour).append(text).append(kReset);
  return result;
}

std::string withMark(const std::string& mark, std::string_view text) {
  std::string line = mark;
  line.append(" ").append(text);
  return line;
}

// Writes everything, retrying after signals. False when the reader has gone (EPIPE) or the
// descriptor is unusable; the caller then stops writing to it.
bool writeAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

} // namespace

Console& Console::shared() {
  static Console console(STDOUT_FILENO, STDERR_FILENO);
  return console;
}

Console::Console(int outputDescriptor, int errorDescriptor)
    : Console(outputDescriptor, errorDescriptor, ProgressTiming()) {}

Console::Console(int outputDescriptor, int errorDescriptor, ProgressTiming timing)
    : outputDescriptor_(outputDescriptor), errorDescriptor_(errorDescriptor), timing_(timing),
      errorIsTerminal_(::isatty(errorDescriptor) == 1) {}

Console::~Console() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  progressWake_.notify_all();
  if (progressThread_.joinable()) progressThread_.join();
}

void Console::configure(bool jsonMode, bool verbose, bool quiet, bool colors) {
  std::lock_guard guard(lock_);
  jsonMode_ = jsonMode;
  verbose_ = verbose;
  quiet_ = quiet;
  colors_ = colors;
}

bool Console::isJSON() const {
  std::lock_guard guard(lock_);
  return jsonMode_;
}
bool Console::isVerbose() const {
  std::lock_guard guard(lock_);
  return verbose_;
}
bool Console::isQuiet() const {
  std::lock_guard guard(lock_);
  return quiet_;
}
bool Console::hasColors() const {
  std::lock_guard guard(lock_);
  return colors_;
}

std::string Console::markText(Mark mark, bool colors) {
  switch (mark) {
  case Mark::passed:
    return colors ? coloured("[37;1m", "✓") : "✓";
  case Mark::warning:
    return colors ? coloured("[38;5;208;1m", "!") : "!";
  case Mark::failed:
    return colors ? coloured("[31;1m", "✗") : "✗";
  case Mark::skipped:
    return colors ? coloured("[90m", "–") : "–";
  }
  return "";
}

std::string Console::stepMark(bool colors) {
  return colors ? coloured("[36m", "›") : "›";
}

std::string Console::detailPrefix(bool colors) {
  return colors ? coloured("[90m", "  │ ") : "  │ ";
}

void Console::messageEvent(std::string_view name, std::string_view text) {
  event(name, nlohmann::json::object({{"message", Redactor::redact(text)}}));
}

void Console::info(std::string_view text) {
  if (isQuiet()) return;
  if (isJSON()) return messageEvent("info", text);
  writeError(Redactor::redact(text));
}

void Console::step(std::string_view text) {
  if (isQuiet()) return;
  if (isJSON()) return messageEvent("step", text);
  const std::string line = withMark(stepMark(hasColors()), Redactor::redact(text));
  std::lock_guard guard(lock_);
  writeLineLocked(errorDescriptor_, line, true);
  stepLine_ = line;
  stepIsLastLine_ = true;
  stepStarted_ = std::chrono::steady_clock::now();
  noticesWritten_ = 0;
  try {
    if (!progressThread_.joinable()) progressThread_ = std::thread([this] { progressLoop(); });
  } catch (...) {
    // No thread for progress: the run goes on without it.
  }
  progressWake_.notify_all();
}

std::string Console::elapsedText(std::chrono::seconds elapsed) {
  const long seconds = static_cast<long>(elapsed.count());
  if (seconds < 60) return " (" + std::to_string(seconds) + " s)";
  const long rest = seconds % 60;
  return " (" + std::to_string(seconds / 60) + " min " + (rest < 10 ? "0" : "") +
         std::to_string(rest) + " s)";
}

void Console::progressLoop() {
  std::unique_lock guard(lock_);
  while (!stopping_) {
    const auto now = std::chrono::steady_clock::now();
    showProgressLocked(now);
    // The next moment something may be due: the next whole redraw or notice since the step began.
    const auto first = errorIsTerminal_ ? timing_.firstRedraw : timing_.notice;
    const auto every = errorIsTerminal_ ? timing_.redraw : timing_.notice;
    auto next = stepStarted_ + first;
    if (next <= now) next += ((now - next) / every + 1) * every;
    progressWake_.wait_until(guard, next);
  }
}

void Console::showProgressLocked(std::chrono::steady_clock::time_point now) {
  if (stepLine_.empty() || errorClosed_) return;
  const auto elapsed = now - stepStarted_;
  if (!errorIsTerminal_) {
    const long minutes = static_cast<long>(elapsed / timing_.notice);
    if (minutes <= noticesWritten_) return;
    noticesWritten_ = minutes;
    writeLineLocked(errorDescriptor_, "… still working (" + std::to_string(minutes) + " min)",
                    true);
    return;
  }
  // Only the last line can be redrawn in place, and only when it fits on one terminal line.
  if (!stepIsLastLine_ || elapsed < timing_.firstRedraw) return;
  const std::string suffix = elapsedText(std::chrono::duration_cast<std::chrono::seconds>(elapsed));
  size_t width = 0;
  bool inEscape = false;
  for (const char c : stepLine_ + suffix) {
    if (c == '\x1B')
      inEscape = true;
    else if (inEscape)
      inEscape = c != 'm';
    else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
      ++width;
  }
  struct winsize size {};
  if (::ioctl(errorDescriptor_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && width > size.ws_col)
    return;
  // Up one line, back to its start, clear it, and write the step with its time.
  writeLineLocked(errorDescriptor_, "\x1B[1A\r\x1B[2K" + stepLine_ + suffix, true);
  stepIsLastLine_ = true;
}

void Console::success(std::string_view text) {
  if (isQuiet()) return;
  if (isJSON()) return messageEvent("info", text);
  writeError(withMark(markText(Mark::passed, hasColors()), Redactor::redact(text)));
}

void Console::warning(std::string_view text) {
  if (isJSON()) return messageEvent("warning", text);
  writeError(withMark(markText(Mark::warning, hasColors()), Redactor::redact(text)));
}

void Console::detail(std::string_view text) {
  if (!isVerbose()) return;
  if (isJSON()) return messageEvent("detail", text);
  const std::string prefix = detailPrefix(hasColors());
  const std::string redacted = Redactor::redact(text);
  std::string_view rest = redacted;
  // Every piece between line feeds is a line of its own, empty pieces included.
  while (true) {
    const size_t end = rest.find('\n');
    // Tool output may carry names with terminal escapes: made visible, never obeyed.
    writeError(prefix + halyard::text::printable(rest.substr(0, end)));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
}

void Console::check(std::string_view label, std::string_view detail, Mark mark) {
  if (isJSON()) return;
  const bool colors = hasColors();
  std::string line = withMark(markText(mark, colors), label);
  if (!detail.empty()) {
    const std::string suffix = " - " + printableLines(Redactor::redact(detail));
    line += colors ? coloured("[90m", suffix) : suffix;
  }
  writeError(line);
}

void Console::failure(const CLIError& error) {
  const std::string message = Redactor::redact(error.message());
  if (isJSON() && !outputFailed()) {
    nlohmann::json fields = {{"message", message},
                             {"exitCode", exitCodeNumber(error.code())},
                             {"class", exitCodeName(error.code())}};
    if (error.hint()) fields["hint"] = *error.hint();
    event("error", std::move(fields));
    return;
  }
  const std::string line = withMark(markText(Mark::failed, hasColors()), message);
  // Both lines under one lock, so nothing can come between the message and its hint.
  std::lock_guard guard(lock_);
  writeLineLocked(errorDescriptor_, line, true);
  if (error.hint()) writeLineLocked(errorDescriptor_, "  " + *error.hint(), true);
}

std::string Console::currentTime() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm parts{};
  gmtime_r(&now, &parts);
  char buffer[32];
  const size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return std::string(buffer, length);
}

std::string Console::eventLine(std::string_view name, nlohmann::json fields,
                               std::string_view time) {
  try {
    if (!fields.is_object()) fields = nlohmann::json::object();
    fields["event"] = std::string(name);
    fields["time"] = std::string(time);
    // nlohmann's default object keeps its keys sorted at every level; it never escapes "/";
    // ensure_ascii off keeps UTF-8, and the replace handler turns malformed bytes into U+FFFD.
    return fields.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  } catch (...) {
    return {};
  }
}

void Console::event(std::string_view name, nlohmann::json fields) {
  const std::string line = eventLine(name, std::move(fields), currentTime());
  if (!line.empty()) writeOutput(line);
}

void Console::result(std::string_view text) {
  // A result is the user's own file name or a fixed text, never a secret: redacting it would
  // hand scripts a path that does not exist.
  if (isJSON()) return;
  // A terminal would obey the control characters of a name (the line feeds of a help text stay);
  // a pipe or file gets the exact bytes.
  if (::isatty(outputDescriptor_) == 1) return writeOutput(printableLines(text));
  writeOutput(text);
}

bool Console::outputFailed() const {
  std::lock_guard guard(lock_);
  return outputClosed_;
}

void Console::writeOutput(std::string_view text) {
  writeLine(outputDescriptor_, text, true);
}
void Console::writeError(std::string_view text) {
  writeLine(errorDescriptor_, text, true);
}
void Console::prompt(std::string_view text) {
  writeLine(errorDescriptor_, text, false);
}

void Console::writeLine(int descriptor, std::string_view text, bool newline) {
  std::lock_guard guard(lock_);
  writeLineLocked(descriptor, text, newline);
}

void Console::writeLineLocked(int descriptor, std::string_view text, bool newline) {
  stepIsLastLine_ = false;
  bool& closed = descriptor == outputDescriptor_ ? outputClosed_ : errorClosed_;
  if (closed) return;
  try {
    // One write for the text and its line feed, so a line is never split by another writer.
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text);
    if (newline) line.push_back('\n');
    if (!writeAll(descriptor, line)) closed = true;
  } catch (...) {
    // Out of memory for one line: drop it rather than end the run.
  }
}

} // namespace bosun
