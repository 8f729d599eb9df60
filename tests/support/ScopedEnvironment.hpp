#pragma once

// Environment variables changed for a test and put back as they were when it ends, for tests
// that run the core library in-process against a stand-in root and a private TMPDIR.

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace bosun::testing {

class ScopedEnvironment {
public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }

  void set(const std::string& name, const std::string& value) {
    remember(name);
    ::setenv(name.c_str(), value.c_str(), 1);
  }

private:
  // The first value seen is the one restored.
  void remember(const std::string& name) {
    if (saved_.count(name)) return;
    const char* previous = std::getenv(name.c_str());
    saved_.emplace(name, previous ? std::optional<std::string>(previous) : std::nullopt);
  }

  std::map<std::string, std::optional<std::string>> saved_;
};

} // namespace bosun::testing
