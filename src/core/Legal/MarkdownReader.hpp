#pragma once

#include <string_view>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Markdown with inline syntax only, white space kept as it is: emphasis (* and _) becomes italic,
// strong emphasis (** and __) bold, code spans, links and images keep their text, autolinks their
// address, and backslash escapes their character. Everything else, block syntax included
// ("# Title", "- item"), stays literally, so the text reads as the author wrote it. Runs use the
// system font at 12 points. Hostile input is handled in time linear in practice: closers are only
// looked for within the paragraph, and a search that failed is not repeated.
struct MarkdownReader {
  static StyledText read(std::string_view text);
};

} // namespace halyard
