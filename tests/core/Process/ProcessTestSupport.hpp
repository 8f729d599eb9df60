#pragma once

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace halyard::testing {

inline std::filesystem::path toolHelper() {
  return std::filesystem::path(TEST_HELPER_DIR) / "tool_helper";
}

// True once no process (not even a zombie) has the number any more, waiting up to `patience`.
inline bool processGone(pid_t pid, std::chrono::milliseconds patience = std::chrono::seconds(3)) {
  const auto until = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < until) {
    if (::kill(pid, 0) == -1 && errno == ESRCH) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

inline pid_t pidFromFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  int pid = 0;
  in >> pid;
  return static_cast<pid_t>(pid);
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline std::string numberedLines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i)
    text += "line " + std::to_string(i) + "\n";
  return text;
}

} // namespace halyard::testing
