#pragma once

#include <filesystem>
#include <optional>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Reads the text of every page of a PDF with poppler, as plain styled text (pages separated by a
// line break). A damaged, encrypted or locked document gives nothing.
struct PDFDocumentReader {
  static std::optional<StyledText> read(const std::filesystem::path& file);
};

} // namespace halyard
