#pragma once

// Runs a built program as a child process for the tests: arguments, an environment, a working
// folder and optional standard input text; captures standard output, standard error and how the
// child ended. Header-only so that every test program can include it.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace bosun::testing {

struct RunOptions {
  std::filesystem::path executable;
  std::vector<std::string> arguments;
  // The child's whole environment is `baseEnvironment` with `environment` laid over it.
  std::map<std::string, std::string> baseEnvironment;
  std::map<std::string, std::string> environment;
  std::optional<std::filesystem::path> workingDirectory;
  // Written to the child's standard input, which is then closed; without it, /dev/null.
  std::optional<std::string> standardInput;
  // Close our end of the output pipe before the child writes: its writes then fail with EPIPE.
  bool closeStandardOutput = false;
  // Give the child a terminal (a pseudo-terminal) as standard error instead of a pipe. The
  // terminal turns each "\n" into "\r\n"; the captured text has them turned back.
  bool errorIsTerminal = false;
  // With errorIsTerminal: standard input is that terminal too, and `standardInput` is typed into
  // it (a person answering prompts; "\x04" at the start of a line ends the input).
  bool inputIsTerminal = false;
};

struct RunResult {
  int status = -1; // the exit status when the child exited, else -1
  int signal = 0;  // the signal that ended the child, else 0
  std::string standardOutput;
  std::string standardError;

  bool exitedWith(int expected) const { return signal == 0 && status == expected; }
  // Each line of standard output (without its newline).
  std::vector<std::string> outputLines() const { return lines(standardOutput); }
  std::vector<std::string> errorLines() const { return lines(standardError); }
  // True when every line of standard output is a JSON object.
  bool outputIsJSONLines() const {
    for (const auto& line : outputLines()) {
      if (!nlohmann::json::accept(line)) return false;
      if (!nlohmann::json::parse(line).is_object()) return false;
    }
    return true;
  }

  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      result.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    return result;
  }
};

// A minimal environment that does not depend on the developer's machine: PATH, a home folder,
// the XDG folders and TMPDIR inside `home`, a UTF-8 locale and no update check over the network.
inline std::map<std::string, std::string> scrubbedEnvironment(const std::filesystem::path& home) {
  std::map<std::string, std::string> environment{
      {"PATH", "/usr/bin:/bin"},
      {"HOME", home.string()},
      {"XDG_CONFIG_HOME", (home / ".config").string()},
      {"XDG_CACHE_HOME", (home / ".cache").string()},
      {"TMPDIR", (home / "tmp").string()},
      {"LANG", "C.UTF-8"},
      {"BOSUN_NO_UPDATE_CHECK", "1"},
  };
  // A sanitizer build's settings (its leak suppressions above all) reach the programs it runs.
  for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) environment[name] = value;
  }
  return environment;
}

namespace detail {
[[noreturn]] inline void fail(const std::string& what) {
  throw std::runtime_error(what + " failed: " + std::strerror(errno));
}
inline void makePipe(int descriptors[2]) {
  if (::pipe(descriptors) != 0) fail("pipe");
  for (int i = 0; i < 2; ++i)
    ::fcntl(descriptors[i], F_SETFD, FD_CLOEXEC);
}
// A pseudo-terminal as a pair like a pipe's: [0] the side we read, [1] the child's terminal.
inline void openTerminal(int descriptors[2]) {
  const int controller = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (controller < 0) fail("posix_openpt");
  if (::grantpt(controller) != 0 || ::unlockpt(controller) != 0) fail("grantpt");
  const char* name = ::ptsname(controller);
  if (name == nullptr) fail("ptsname");
  const int terminal = ::open(name, O_RDWR | O_NOCTTY);
  if (terminal < 0) fail("open " + std::string(name));
  ::fcntl(controller, F_SETFD, FD_CLOEXEC);
  ::fcntl(terminal, F_SETFD, FD_CLOEXEC);
  descriptors[0] = controller;
  descriptors[1] = terminal;
}
inline std::string withoutCarriageReturns(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) result += text[i];
  }
  return result;
}
} // namespace detail

inline RunResult runProgram(const RunOptions& options) {
  // Our own writes into a child's closed standard input must not end the test program.
  static const bool ignoringBrokenPipes = [] {
    std::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  static_cast<void>(ignoringBrokenPipes);

  int outputPipe[2];
  int errorPipe[2];
  int inputPipe[2] = {-1, -1};
  detail::makePipe(outputPipe);
  if (options.errorIsTerminal)
    detail::openTerminal(errorPipe);
  else
    detail::makePipe(errorPipe);
  const bool typing = options.errorIsTerminal && options.inputIsTerminal;
  if (options.standardInput && !typing) detail::makePipe(inputPipe);
  if (typing) {
    // The answers are typed all at once, before the program asks. The terminal's echo of them
    // would land wherever the program happens to be in its output, so there is none.
    termios settings{};
    if (::tcgetattr(errorPipe[1], &settings) == 0) {
      settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      ::tcsetattr(errorPipe[1], TCSANOW, &settings);
    }
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (typing)
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 0);
  else if (options.standardInput)
    posix_spawn_file_actions_adddup2(&actions, inputPipe[0], 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outputPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 2);
  if (options.workingDirectory) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory->c_str());
  }

  // The child starts with every signal at its default action and none blocked, whatever the
  // test program did, so that the program under test sets up its own handling.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<std::string> argumentStrings{options.executable.string()};
  argumentStrings.insert(argumentStrings.end(), options.arguments.begin(), options.arguments.end());
  std::map<std::string, std::string> environment = options.baseEnvironment;
  for (const auto& [name, value] : options.environment)
    environment[name] = value;
  std::vector<std::string> environmentStrings;
  for (const auto& [name, value] : environment)
    environmentStrings.push_back(name + "=" + value);

  std::vector<char*> argv;
  for (auto& argument : argumentStrings)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& entry : environmentStrings)
    envp.push_back(entry.data());
  envp.push_back(nullptr);

  pid_t pid = 0;
  const int spawnError = posix_spawn(&pid, options.executable.c_str(), &actions, &attributes,
                                     argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(outputPipe[1]);
  ::close(errorPipe[1]);
  if (inputPipe[0] >= 0) ::close(inputPipe[0]);
  if (spawnError != 0) {
    ::close(outputPipe[0]);
    ::close(errorPipe[0]);
    if (inputPipe[1] >= 0) ::close(inputPipe[1]);
    errno = spawnError;
    detail::fail("posix_spawn of " + options.executable.string());
  }

  RunResult result;
  int outputDescriptor = outputPipe[0];
  int errorDescriptor = errorPipe[0];
  int inputDescriptor = typing ? ::dup(errorPipe[0]) : inputPipe[1];
  if (options.closeStandardOutput) {
    ::close(outputDescriptor);
    outputDescriptor = -1;
  }
  // (A view of the caller's text: a conditional with "" would make a temporary copy to view.)
  std::string_view pendingInput =
      options.standardInput ? std::string_view(*options.standardInput) : std::string_view();
  if (inputDescriptor >= 0 && pendingInput.empty()) {
    ::close(inputDescriptor);
    inputDescriptor = -1;
  }

  while (outputDescriptor >= 0 || errorDescriptor >= 0) {
    pollfd descriptors[3];
    nfds_t count = 0;
    if (outputDescriptor >= 0) descriptors[count++] = {outputDescriptor, POLLIN, 0};
    if (errorDescriptor >= 0) descriptors[count++] = {errorDescriptor, POLLIN, 0};
    if (inputDescriptor >= 0) descriptors[count++] = {inputDescriptor, POLLOUT, 0};
    if (::poll(descriptors, count, -1) < 0) {
      if (errno == EINTR) continue;
      detail::fail("poll");
    }
    for (nfds_t i = 0; i < count; ++i) {
      const pollfd& entry = descriptors[i];
      if (entry.revents == 0) continue;
      if (entry.fd == inputDescriptor) {
        const ssize_t written = ::write(inputDescriptor, pendingInput.data(), pendingInput.size());
        if (written > 0) pendingInput.remove_prefix(static_cast<size_t>(written));
        if ((written < 0 && errno != EINTR && errno != EAGAIN) || pendingInput.empty()) {
          ::close(inputDescriptor);
          inputDescriptor = -1;
        }
        continue;
      }
      char buffer[65536];
      const ssize_t got = ::read(entry.fd, buffer, sizeof buffer);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got > 0) {
        (entry.fd == outputDescriptor ? result.standardOutput : result.standardError)
            .append(buffer, static_cast<size_t>(got));
        continue;
      }
      ::close(entry.fd);
      (entry.fd == outputDescriptor ? outputDescriptor : errorDescriptor) = -1;
    }
  }
  if (inputDescriptor >= 0) ::close(inputDescriptor);

  int waitStatus = 0;
  while (::waitpid(pid, &waitStatus, 0) < 0) {
    if (errno != EINTR) detail::fail("waitpid");
  }
  if (options.errorIsTerminal) {
    result.standardError = detail::withoutCarriageReturns(result.standardError);
  }
  if (WIFEXITED(waitStatus)) result.status = WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) result.signal = WTERMSIG(waitStatus);
  return result;
}

} // namespace bosun::testing
