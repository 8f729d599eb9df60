#pragma once

#include <string>
#include <string_view>

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
};

} // namespace bosun
