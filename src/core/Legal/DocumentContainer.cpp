#include "core/Legal/DocumentContainer.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <libxml/parser.h>

#include <limits>

#include "core/Legal/DocumentBytes.hpp"

namespace halyard {

namespace {
struct ArchiveFree {
  void operator()(archive* reader) const { archive_read_free(reader); }
};
} // namespace

std::optional<std::string> DocumentContainer::zipEntry(std::string_view zip, std::string_view name,
                                                       const std::filesystem::path& file,
                                                       bool required) {
  std::unique_ptr<archive, ArchiveFree> reader(archive_read_new());
  if (!reader) return std::nullopt;
  archive_read_support_format_zip(reader.get());
  if (archive_read_open_memory(reader.get(), zip.data(), zip.size()) != ARCHIVE_OK) {
    DocumentBytes::refuse(file, "not a ZIP container");
    return std::nullopt;
  }
  archive_entry* entry = nullptr;
  for (std::size_t count = 0;; ++count) {
    if (count >= entryLimit) {
      DocumentBytes::refuse(file, "the ZIP container lists too many entries");
      return std::nullopt;
    }
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) {
      if (required) DocumentBytes::refuse(file, "the ZIP container has no " + std::string(name));
      return std::nullopt;
    }
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
      DocumentBytes::refuse(file, "the ZIP container is damaged");
      return std::nullopt;
    }
    const char* path = archive_entry_pathname(entry);
    if (path != nullptr && name == path) break;
  }

  if (archive_entry_size_is_set(entry) &&
      static_cast<std::uintmax_t>(archive_entry_size(entry)) > expandedEntryLimit) {
    DocumentBytes::refuse(file, "the ZIP entry expands beyond the limit");
    return std::nullopt;
  }
  // The declared size may lie: the limit is enforced on the bytes actually inflated.
  std::string content;
  char buffer[65536];
  while (true) {
    const la_ssize_t count = archive_read_data(reader.get(), buffer, sizeof buffer);
    if (count < 0) {
      DocumentBytes::refuse(file, "the ZIP entry is damaged");
      return std::nullopt;
    }
    if (count == 0) break;
    if (content.size() + static_cast<std::size_t>(count) > expandedEntryLimit) {
      DocumentBytes::refuse(file, "the ZIP entry expands beyond the limit");
      return std::nullopt;
    }
    content.append(buffer, static_cast<std::size_t>(count));
  }
  return content;
}

DocumentContainer::XMLDocument DocumentContainer::parseXML(std::string_view xml) {
  if (xml.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return nullptr;
  // Refused before parsing, so that no declaration of a hostile DTD is ever processed.
  if (xml.find("<!DOCTYPE") != std::string_view::npos) return nullptr;
  XMLDocument document(
      xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA));
  return document;
}

} // namespace halyard
