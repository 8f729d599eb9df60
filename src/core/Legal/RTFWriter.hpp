#pragma once

#include <optional>
#include <string>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Writes styled text as RTF 1.x: a font table of the families the runs use (the system font
// under its platform name), a colour table, and one group-free stream of runs, each preceded by
// its font, size, bold, italic and colour. The output is 7-bit ASCII: other characters are
// written as \uN escapes (UTF-16 code units, surrogate pairs for characters beyond U+FFFF) with a
// "?" fallback; line feeds become \par, tabs \tab.
struct RTFWriter {
  // The family name of the system font in RTF written and read on macOS.
  static constexpr const char* systemFontName = ".AppleSystemUIFont";

  // Nothing when the text is not valid UTF-8.
  static std::optional<std::string> write(const StyledText& text);
};

} // namespace halyard
