#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// Strict conversions between UTF-8 and the legacy encodings license documents and the license
// resource use, through ICU. Strict: a byte or character the encoding does not define makes the
// conversion fail instead of turning into a substitute.
struct TextEncoding {
  // ICU converter names.
  static constexpr const char* windows1252 = "windows-1252";
  static constexpr const char* macRoman = "macintosh";

  // The bytes decoded from `converterName` to UTF-8, or nothing when they are not valid in it
  // (for Windows-1252: when they hold one of its five undefined bytes).
  static std::optional<std::string> decode(std::string_view bytes, const char* converterName);
  // The UTF-8 text encoded in `converterName`, or nothing when it cannot be represented exactly.
  static std::optional<std::string> encode(std::string_view utf8, const char* converterName);

  // The text of a plain-text or Markdown document, decoded with the first encoding that fits:
  // UTF-8 (a leading byte-order mark dropped); UTF-16 with a byte-order mark; UTF-16 without one
  // only when it reads as plausible text (see below); Windows-1252; Mac OS Roman (which defines
  // every byte, so decoding never fails).
  static std::string decodeDocument(std::string_view bytes);

  // Bytes without a byte-order mark as UTF-16 in either byte order, when that reads as plausible
  // text: an even length, no unpaired surrogate, no unassigned code point, no control character
  // other than tab and line breaks, and at least one ASCII character (every real text has a space,
  // a line break, a digit or punctuation; a file in a one-byte encoding has no zero bytes, which
  // UTF-16 needs for them). When both orders are plausible the one with more ASCII wins, big-endian
  // on a tie.
  static std::optional<std::string> decodeUnmarkedUTF16(std::string_view bytes);
};

} // namespace halyard
