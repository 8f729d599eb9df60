#pragma once

#include <filesystem>
#include <optional>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// The readers of PDF (poppler) and Word 97 (libgsf) documents as the rest of the library calls
// them. bosun loads them as the module bosun-documents when it first reads such a document;
// tests, utilities and the desktop app link them in.
struct DocumentReaderFunctions {
  static constexpr const char* moduleName = "bosun-documents";
  // The module's one exported function, returning its table; the suffix changes with the layout.
  static constexpr const char* entryName = "bosun_document_readers_v1";

  // PDFDocumentReader::read.
  std::optional<StyledText> (*readPDF)(const std::filesystem::path& file) = nullptr;
  // WordDocumentReader::read.
  std::optional<StyledText> (*readWord)(const std::filesystem::path& file) = nullptr;

  // The table in use: the readers linked into the program, or the module's. Throws
  // ModuleLoadError when the module cannot be loaded.
  static const DocumentReaderFunctions& current();
  // The readers' own table (built only where the readers are).
  static const DocumentReaderFunctions& readers();
};

} // namespace halyard
