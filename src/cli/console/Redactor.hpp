#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace bosun {

// Removes secrets from text before it is printed: the value of a --password / -p option, Apple
// app-specific passwords (xxxx-xxxx-xxxx-xxxx), the body of a PEM private key and the token of a
// bearer authorization header. The rules are plain scans over the bytes, so redacting costs
// little and loads nothing.
struct Redactor {
  // The text with every rule applied in order, each to all its matches. When nothing matches,
  // the bytes come back exactly as given; bytes around a secret are kept as they are too (also
  // when they are not valid UTF-8).
  static std::string redact(std::string_view text);

  // Every string in `value`, at any depth, redacted as a whole; the values of the object keys in
  // `kept` (the user's own file names) stay as they are.
  static nlohmann::json redact(nlohmann::json value, std::initializer_list<std::string_view> kept);
};

} // namespace bosun
