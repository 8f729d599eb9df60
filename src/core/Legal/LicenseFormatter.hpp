#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Legal/StyledText.hpp"

namespace halyard {

struct LicenseDocument;

// Renders the documents of one language into the forms the installers show.
struct LicenseFormatter {
  // The documents one after the other: each document's title and "\n\n" in the bold system font
  // at 16 points, then its own text unchanged; between two documents "\n\n", 24 × U+2500 and
  // "\n\n" in the system font at 12 points. Every added run is black. No documents: empty text.
  static StyledText composeBody(const std::vector<LicenseDocument>& documents);

  // The plain string with bullet look-alikes (U+F0B7, U+25E6, U+25AA) and the line and paragraph
  // separators (U+2028, U+2029) turned into "•", tabs into four spaces and every CR LF or lone CR
  // into LF.
  static std::string plainText(const StyledText& text);

  // RTF of the text, every run without a colour made black and every run without a font given
  // the system font at 12 points. Should the writer fail, the UTF-8 bytes of plainText.
  static std::string rtfData(const StyledText& text);

  // True when the text holds nothing but white space and line breaks (Unicode space separators,
  // tab, LF, VT, FF, CR, NEL, U+2028, U+2029), or is not valid UTF-8.
  static bool isBlank(std::string_view text);
};

} // namespace halyard
