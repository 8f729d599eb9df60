#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// The readers of PDF (poppler), Word 97 (libgsf), HTML (libxml2) and office (libarchive and
// libxml2) documents as the rest of the library calls them. bosun loads them as the module
// bosun-documents when it first reads such a document; tests, utilities and the desktop app link
// them in.
struct DocumentReaderFunctions {
  static constexpr const char* moduleName = "bosun-documents";
  // The module's one exported function, returning its table; the suffix changes with the layout.
  static constexpr const char* entryName = "bosun_document_readers_v2";

  // PDFDocumentReader::read.
  std::optional<StyledText> (*readPDF)(const std::filesystem::path& file) = nullptr;
  // WordDocumentReader::read.
  std::optional<StyledText> (*readWord)(const std::filesystem::path& file) = nullptr;
  // HTMLDocumentReader::read.
  std::optional<StyledText> (*readHTML)(const std::filesystem::path& file) = nullptr;
  // HTMLDocumentReader::readHTML.
  std::optional<StyledText> (*readHTMLBytes)(std::string_view bytes,
                                             const std::optional<std::string>& encoding) = nullptr;
  // OfficeDocumentReader::read.
  std::optional<StyledText> (*readOffice)(const std::filesystem::path& file) = nullptr;

  // The table in use: the readers linked into the program, or the module's. Throws
  // ModuleLoadError when the module cannot be loaded.
  static const DocumentReaderFunctions& current();
  // The readers' own table (built only where the readers are).
  static const DocumentReaderFunctions& readers();
};

} // namespace halyard
