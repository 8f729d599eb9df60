#include "core/Support/CodePoint.hpp"

#include <algorithm>

#include <unicode/utf8.h>

namespace halyard {

CodePoint CodePoint::next(std::string_view text, std::size_t& index) {
  // A UTF-8 sequence is at most four bytes long, so the reader needs no more of the text (and
  // its 32-bit lengths hold any text's).
  const std::string_view rest = text.substr(index, 4);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(rest.data());
  std::int32_t length = 0;
  UChar32 value = 0;
  U8_NEXT(bytes, length, static_cast<std::int32_t>(rest.size()), value);
  const auto size = static_cast<std::size_t>(length);
  index += size;
  return {value, rest.substr(0, size)};
}

} // namespace halyard
