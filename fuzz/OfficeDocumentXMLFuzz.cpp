// The XML parts of DOCX and ODT files of arbitrary bytes (the input is also read as the numbering
// part of a document whose paragraphs are list items): reading never fails other than by giving
// nothing, never expands entities, and the text it gives is well-formed UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/Legal/OfficeDocumentReader.hpp"
#include "core/Support/Text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view xml(reinterpret_cast<const char*>(data), size);
  static const char* const listItems =
      "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
      "<w:body><w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr>"
      "</w:p><w:p><w:pPr><w:numPr><w:ilvl w:val=\"1\"/><w:numId w:val=\"2\"/></w:numPr></w:pPr>"
      "</w:p><w:p><w:pPr><w:numPr><w:ilvl w:val=\"8\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr>"
      "<w:r><w:t>x</w:t></w:r></w:p></w:body></w:document>";
  for (const auto& text : {halyard::OfficeDocumentReader::readWordprocessingML(xml),
                           halyard::OfficeDocumentReader::readWordprocessingML(listItems, xml),
                           halyard::OfficeDocumentReader::readOpenDocumentContent(xml)}) {
    if (!text) continue;
    // The text can only come from the input: nothing is longer than the input's characters
    // and the few spaces a space element may ask for.
    if (text->string().size() > 1000 * (size + 1)) std::abort();
    for (const auto& run : text->runs)
      if (run.text.empty() || !halyard::text::isValidUTF8(run.text)) std::abort();
  }
  return 0;
}
