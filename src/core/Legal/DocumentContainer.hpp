#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <libxml/tree.h>

namespace halyard {

// The guarded inside of the office documents (.docx, .odt): a ZIP container's entry count and
// expanded size, and the XML in its entries, are bounded here, so that a hostile file fails
// quickly and cleanly instead of filling memory. Refusals go through DocumentBytes::refuse;
// nothing here throws. Built into the document readers' module with libarchive and libxml2.
struct DocumentContainer {
  // The most bytes one ZIP entry may expand to.
  static constexpr std::uintmax_t expandedEntryLimit = std::uintmax_t{32} << 20;
  // The most entries a ZIP container may list.
  static constexpr std::size_t entryLimit = 4096;

  // The expanded content of the entry `name` of the ZIP archive `zip` (read from `file`, which
  // is named in the debug note when the container is refused). An entry that may be absent
  // (`required` false) is nothing without a note when the container does not list it.
  static std::optional<std::string> zipEntry(std::string_view zip, std::string_view name,
                                             const std::filesystem::path& file,
                                             bool required = true);

  struct XMLDocumentFree {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
  };
  using XMLDocument = std::unique_ptr<xmlDoc, XMLDocumentFree>;

  // An XML document parsed without network access, without DTD loading and without entity
  // substitution; a document with a document type declaration is refused before parsing (the
  // office formats never carry one, and its entities are the classic expansion attack).
  static XMLDocument parseXML(std::string_view xml);
};

} // namespace halyard
