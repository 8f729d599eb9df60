#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Reads the text of a Word 97-2003 document (.doc): libgsf opens the compound-file container,
// and the piece table in the table stream maps the main document's characters to their bytes
// in the WordDocument stream (8-bit Windows-1252 or UTF-16 pieces). Paragraph, line and page
// marks become line breaks, table cells are separated by tabs and rows by line breaks; field
// codes are dropped and field results kept; embedded objects are left out. Text deleted with
// change tracking on is left out, list paragraphs get their labels, and runs keep their direct
// bold, italic, size and colour (WordFormatting); formatting through named styles is not
// followed. An encrypted, older or damaged document gives nothing.
struct WordDocumentReader {
  static std::optional<StyledText> read(const std::filesystem::path& file);

  // The text of the container's WordDocument stream with its table streams (either may be
  // empty: the file information block says which one holds the piece table).
  static std::optional<StyledText>
  readStreams(std::string_view wordDocument, std::string_view zeroTable, std::string_view oneTable);
};

} // namespace halyard
