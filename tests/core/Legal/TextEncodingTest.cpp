#include <gtest/gtest.h>

#include "core/Legal/TextEncoding.hpp"

using halyard::TextEncoding;

namespace {

std::string utf16(std::u16string_view text, bool bigEndian, bool mark) {
  std::string out;
  if (mark) out += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

} // namespace

TEST(TextEncoding, DocumentsDecodeWithTheFirstFittingEncoding) {
  const std::u16string license = u"Caf\u00e9 \u201Cterms\u201D \U0001F600\n";
  const std::string expected = "Caf\u00e9 \u201Cterms\u201D \U0001F600\n";
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"UTF-8", expected, expected},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + expected, expected},
      {"UTF-16 LE with mark", utf16(license, false, true), expected},
      {"UTF-16 BE with mark", utf16(license, true, true), expected},
      {"UTF-16 LE without mark", utf16(license, false, false), expected},
      {"UTF-16 BE without mark", utf16(license, true, false), expected},
      // Even length, no zero byte: as UTF-16 it would be CJK characters without a single ASCII one.
      {"Windows-1252 of even length", "Caf\xE9 \x93terms\x94", "Caf\u00e9 \u201Cterms\u201D"},
      // 0x8D is not a Windows-1252 character; in Mac OS Roman it is "ç".
      {"Mac OS Roman", "Gar\x8Don", "Gar\u00e7on"},
      // A mark that does not lead well-formed UTF-16 (odd length) is not UTF-16.
      {"odd length after a UTF-16 mark",
       "\xFF\xFE"
       "a",
       "\u00ff\u00fe"
       "a"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TextEncoding::decodeDocument(c.bytes), c.text) << c.name;
}

TEST(TextEncoding, UnmarkedUTF16NeedsPlausibleText) {
  // An unpaired surrogate, a control character, no ASCII at all.
  EXPECT_FALSE(TextEncoding::decodeUnmarkedUTF16(std::string("\x00"
                                                             "a\xD8\x00",
                                                             4)));
  EXPECT_FALSE(TextEncoding::decodeUnmarkedUTF16(std::string("\x00"
                                                             "a\x00\x01",
                                                             4)));
  EXPECT_FALSE(TextEncoding::decodeUnmarkedUTF16("\x4E\x2D\x65\x87"));
}

TEST(TextEncoding, StrictEncodingRefusesWhatItCannotHold) {
  EXPECT_EQ(TextEncoding::encode("Fran\u00e7ais", TextEncoding::macRoman), "Fran\x8D"
                                                                           "ais");
  EXPECT_FALSE(TextEncoding::encode("\u65e5\u672c", TextEncoding::macRoman));
  EXPECT_FALSE(TextEncoding::decode("\x81", TextEncoding::windows1252));
}
