#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace halyard {

// One character of UTF-8 text, read in order:
//   for (std::size_t index = 0; index < text.size();) {
//     const auto character = CodePoint::next(text, index);
//     ...
//   }
// A byte sequence that is not UTF-8 is one character whose value is negative; its bytes are the
// longest start of a sequence that could have been one (at least one byte), so every byte of the
// text is in exactly one character.
struct CodePoint {
  std::int32_t value = 0;
  std::string_view bytes;

  bool isValid() const { return value >= 0; }

  // The character at `index`, which then moves past it; `index` must be inside `text`.
  static CodePoint next(std::string_view text, std::size_t& index);
};

} // namespace halyard
