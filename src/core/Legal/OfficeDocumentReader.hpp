#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Reads the text of Office Open XML (.docx) and OpenDocument text (.odt) documents: the ZIP
// container through libarchive, the XML inside through libxml2. Paragraphs, tabs and line breaks
// become text; list paragraphs start with their label (bullet or number, from the DOCX numbering
// part or the ODT list styles); runs keep their bold, italic, colour, size and font where the
// document sets them directly (named styles of the document are not followed). Deleted revisions,
// comments and notes are left out. Any failure gives nothing.
struct OfficeDocumentReader {
  // A .odt file is read as OpenDocument, anything else as Office Open XML.
  static std::optional<StyledText> read(const std::filesystem::path& file);

  // The text of a word/document.xml part, with the list labels of its word/numbering.xml part
  // (empty when the document has none).
  static std::optional<StyledText> readWordprocessingML(std::string_view documentXML,
                                                        std::string_view numberingXML = {});
  // The text of an OpenDocument content.xml part, with its automatic styles.
  static std::optional<StyledText> readOpenDocumentContent(std::string_view contentXML);
};

} // namespace halyard
