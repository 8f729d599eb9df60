#pragma once

// The built `bosun` run as a child process in a fresh home folder, for end-to-end tests.

#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/Support/TemporaryFolder.hpp"
#include "support/ChildRun.hpp"

namespace bosun::testing {

// Whether `part` occurs in `text`.
inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The whole content of a file (empty when it cannot be read).
inline std::string fileContents(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  std::stringstream content;
  content << stream.rdbuf();
  return content.str();
}

// Writes `text` as the whole file, making its folder first.
inline void writeFile(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// The names in a folder, sorted.
inline std::vector<std::string> sortedFileNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The running processes whose command line contains every one of `parts` (from /proc).
inline std::vector<pid_t> processesNaming(const std::vector<std::string>& parts) {
  struct Process {
    pid_t pid;
    pid_t parent;
    std::string commandLine;
  };
  std::vector<Process> matching;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string commandLine = fileContents(entry.path() / "cmdline");
    std::replace(commandLine.begin(), commandLine.end(), '\0', ' ');
    if (!std::all_of(parts.begin(), parts.end(), [&](const std::string& part) {
          return commandLine.find(part) != std::string::npos;
        }))
      continue;
    // The parent is the fourth field of stat, after the name in parentheses.
    const std::string stat = fileContents(entry.path() / "stat");
    const auto afterName = stat.rfind(") ");
    pid_t parent = 0;
    if (afterName != std::string::npos && stat.size() > afterName + 4)
      parent = static_cast<pid_t>(std::atol(stat.c_str() + afterName + 4));
    matching.push_back({static_cast<pid_t>(std::stol(name)), parent, std::move(commandLine)});
  }
  // A child forked to run a tool carries its parent's command line until it runs the tool: it is
  // the same program, not another match.
  std::vector<pid_t> found;
  for (const auto& process : matching) {
    if (std::none_of(matching.begin(), matching.end(), [&](const Process& other) {
          return other.pid == process.parent && other.commandLine == process.commandLine;
        }))
      found.push_back(process.pid);
  }
  return found;
}

// True once no running process's command line contains every one of `parts`, waiting up to
// `seconds`: a child that was sent SIGTERM as its parent ended may need a moment to go.
inline bool noProcessNamingWithin(const std::vector<std::string>& parts, double seconds = 10) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!processesNaming(parts).empty()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A fresh home folder for a series of runs of the built `bosun`, removed at the end.
class BosunSandbox {
public:
  BosunSandbox() : home_("BosunE2E_") { std::filesystem::create_directories(home_.path() / "tmp"); }

  const std::filesystem::path& home() const { return home_.path(); }

  // Runs `executable` (the built bosun unless another is named) in the home folder.
  RunOptions options(std::vector<std::string> arguments,
                     std::filesystem::path executable = BOSUN_BINARY) const {
    RunOptions result;
    result.executable = std::move(executable);
    result.arguments = std::move(arguments);
    result.baseEnvironment = scrubbedEnvironment(home());
    result.workingDirectory = home();
    return result;
  }

  RunResult run(std::vector<std::string> arguments,
                std::map<std::string, std::string> environment = {}) const {
    RunOptions runOptions = options(std::move(arguments));
    runOptions.environment = std::move(environment);
    return runProgram(runOptions);
  }

private:
  halyard::TemporaryFolder home_;
};

} // namespace bosun::testing
