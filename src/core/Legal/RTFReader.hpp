#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Reads RTF into styled text: the text of the body (fields show their result, even when written
// as an ignorable destination; list labels are kept unless blank; font, colour and style tables,
// pictures, headers, footers, comments, document information, text deleted with change tracking
// on and every other "\*" destination are left out), with each run's font family, size, bold,
// italic and colour (East Asian and right-to-left text take their associated bold, italic and
// size). Bytes escaped as \'hh and
// 8-bit characters are decoded in the document's code page (\ansicpg, \mac, \pc, \pca, or the code
// page of the run's font character set); \uN escapes give Unicode characters. Paragraph and line
// breaks become line feeds, \tab a tab. Runs in the system font have no family.
struct RTFReader {
  // Groups nested deeper than this make the document unreadable (a hostile file cannot grow the
  // reader's stack of group states without bound).
  static constexpr std::size_t maximumDepth = 4096;

  // Nothing when the bytes do not start with "{\rtf" or nest too deeply. Unbalanced braces at the
  // end are forgiven.
  static std::optional<StyledText> read(std::string_view bytes);
};

} // namespace halyard
