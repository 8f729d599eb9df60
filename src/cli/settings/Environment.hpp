#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace bosun {

// A snapshot of environment variables, taken once so that one run sees one consistent set (and
// so that tests can hand in their own).
struct Environment {
  std::map<std::string, std::string, std::less<>> variables;

  // The process environment now.
  static Environment current();

  // The variable's value when it is set and not empty.
  std::optional<std::string> nonEmpty(std::string_view name) const;
};

} // namespace bosun
