#include "cli/settings/Environment.hpp"

#include <unistd.h>

// Not every platform's <unistd.h> declares it.
extern "C" char** environ;

namespace bosun {

Environment Environment::current() {
  Environment environment;
  for (char** entry = ::environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view line(*entry);
    const auto equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    // The first definition wins, as getenv() would find it.
    environment.variables.emplace(std::string(line.substr(0, equals)),
                                  std::string(line.substr(equals + 1)));
  }
  return environment;
}

std::optional<std::string> Environment::nonEmpty(std::string_view name) const {
  const auto found = variables.find(name);
  if (found == variables.end() || found->second.empty()) return std::nullopt;
  return found->second;
}

} // namespace bosun
