#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/console/CLIError.hpp"

namespace bosun {

// The one place that writes to standard output and standard error.
//
// Standard output carries only results (a finished file's path, help and version texts) and, in
// JSON mode, the JSON lines; everything else goes to standard error. Messages pass through the
// Redactor before they are printed. Every line is written whole under one lock, so lines from
// several threads never interleave. No operation throws.
//
// A closed output (`bosun help | head -n 1`) is a quiet end for that stream: the write fails with
// EPIPE (SIGPIPE is ignored by the entry), further writes to it are dropped and the run goes on.
//
// While a step runs long (a tool waiting on Apple, a disk image build) the console shows that the
// run is alive. On a terminal, once the step has run `firstRedraw`, its line is redrawn in place
// with the elapsed time every `redraw`, for as long as it is the last line written. Without a
// terminal, a line "… still working (N min)" follows every `notice`. Neither with --quiet or
// --json, whose runs print no step lines.
class Console {
public:
  // The kind of a check line.
  enum class Mark { passed, warning, failed, skipped };

  struct ProgressTiming {
    std::chrono::milliseconds firstRedraw{3000};
    std::chrono::milliseconds redraw{1000};
    std::chrono::milliseconds notice{60000};
  };

  // The process-wide console on descriptors 1 and 2, created on first use.
  static Console& shared();

  // A console on other descriptors (tests write into files).
  Console(int outputDescriptor, int errorDescriptor);
  // The same with other progress timing (tests use short ones).
  Console(int outputDescriptor, int errorDescriptor, ProgressTiming timing);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Sets the four modes at once, under the lock. The entry calls this once before any command.
  void configure(bool jsonMode, bool verbose, bool quiet, bool colors);
  bool isJSON() const;
  bool isVerbose() const;
  bool isQuiet() const;
  bool hasColors() const;

  // Progress and messages. Text mode: on standard error, with the mark; JSON mode: one event.
  void info(std::string_view text);    // no mark; event "info"; not with --quiet
  void step(std::string_view text);    // "›"; event "step"; not with --quiet
  void success(std::string_view text); // "✓"; event "info"; not with --quiet
  void warning(std::string_view text); // "!"; event "warning"
  // Only with --verbose: each line after the detail prefix "  │ "; event "detail".
  void detail(std::string_view text);
  // A check line: mark, label and, when `detail` is not empty, " - " and the detail (redacted;
  // the label is not). Nothing in JSON mode: commands report checks in their own events.
  void check(std::string_view label, std::string_view detail, Mark mark);
  // "✗ message" and, with a hint, "  hint" on a second line (the hint is not redacted).
  // JSON mode: event "error" with "message", "exitCode", "class" and "hint" when present.
  void failure(const CLIError& error);

  // One JSON line on standard output: `fields` (an object; anything else counts as empty) plus
  // "event" and "time" (UTC, ISO 8601 with seconds). Keys are sorted at every level, "/" is not
  // escaped, UTF-8 is kept and malformed UTF-8 becomes U+FFFD, so the line is always valid JSON.
  void event(std::string_view name, nlohmann::json fields = nlohmann::json::object());

  // A result for standard output: printed as is with a newline in text mode, nothing in JSON
  // mode (help texts, the version line, a finished file's path). On a terminal its control
  // characters are made visible; a pipe or file gets the exact bytes.
  void result(std::string_view text);

  // True once a write to standard output failed (a full disk, a reader that went away): what was
  // meant for it is lost, and from then on failures are written to standard error, in JSON mode
  // too.
  bool outputFailed() const;

  // Raw writes: the text and a newline, or a prompt without one. Not redacted.
  void writeOutput(std::string_view text);
  void writeError(std::string_view text);
  void prompt(std::string_view text);

  // The marks as printed for a `colors` setting.
  static std::string markText(Mark mark, bool colors);
  static std::string stepMark(bool colors);
  static std::string detailPrefix(bool colors);

  // The JSON line of an event at a given time (no newline); empty when it cannot be built.
  static std::string eventLine(std::string_view name, nlohmann::json fields, std::string_view time);
  // The current time as "2026-12-05T01:49:06Z".
  static std::string currentTime();

  // The elapsed time as shown after a step line redrawn in place: " (12 s)", " (3 min 05 s)".
  static std::string elapsedText(std::chrono::seconds elapsed);

private:
  // Keeps the current step's progress up to date until the console goes away.
  void progressLoop();
  // The current step's line redrawn with its elapsed time, or the still-working notice.
  void showProgressLocked(std::chrono::steady_clock::time_point now);

  void writeLine(int descriptor, std::string_view text, bool newline);
  void writeLineLocked(int descriptor, std::string_view text, bool newline);
  void messageEvent(std::string_view name, std::string_view text);

  mutable std::mutex lock_;
  int outputDescriptor_;
  int errorDescriptor_;
  bool outputClosed_ = false;
  bool errorClosed_ = false;
  bool jsonMode_ = false;
  bool verbose_ = false;
  bool quiet_ = false;
  bool colors_ = false;

  ProgressTiming timing_;
  bool errorIsTerminal_ = false;
  std::string stepLine_; // the current step's line as written; empty before the first step
  bool stepIsLastLine_ = false;
  std::chrono::steady_clock::time_point stepStarted_;
  long noticesWritten_ = 0;
  bool stopping_ = false;
  std::condition_variable progressWake_;
  std::thread progressThread_; // started by the first step line
};

} // namespace bosun
