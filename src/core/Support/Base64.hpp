#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// Base64 with the standard alphabet and "=" padding (RFC 4648, section 4).
struct Base64 {
  // The encoded text, padded to a multiple of four characters, without line breaks.
  static std::string encoded(std::string_view bytes);

  // The decoded bytes, or nothing when the text is not strict Base64: its length must be a
  // multiple of four, every character must be from the alphabet, and "=" may only appear as
  // the last one or two characters. White space and line breaks are not accepted.
  static std::optional<std::string> decoded(std::string_view text);
};

} // namespace halyard
