#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <libxml/tree.h>

namespace halyard {

// The guarded input of the license-document readers. Every document is untrusted: its bytes, a
// ZIP container's entry count and expanded size, and the XML inside are bounded here, so that a
// hostile file fails quickly and cleanly instead of filling memory or disk. A refusal names its
// reason on the core debug hook and yields nothing; nothing here throws.
struct DocumentBytes {
  // The most bytes read from one document file.
  static constexpr std::uintmax_t fileLimit = std::uintmax_t{64} << 20;
  // The most bytes one ZIP entry may expand to.
  static constexpr std::uintmax_t expandedEntryLimit = std::uintmax_t{32} << 20;
  // The most entries a ZIP container may list.
  static constexpr std::size_t entryLimit = 4096;

  // The content of a regular file of at most `limit` bytes.
  static std::optional<std::string> readFile(const std::filesystem::path& file,
                                             std::uintmax_t limit = fileLimit);
  // The first `count` bytes of a regular file (fewer when it is shorter); nothing when it is not
  // a regular file or cannot be read. No note is sent: the caller decides what to refuse.
  static std::optional<std::string> readHead(const std::filesystem::path& file, std::size_t count);

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

  // Sends "[Halyard] Legal document refused (REASON): PATH" to the core debug hook.
  static void refuse(const std::filesystem::path& file, const std::string& reason);
};

} // namespace halyard
