#pragma once

#include <filesystem>
#include <optional>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Reads the text of a web archive: a property list whose WebMainResource holds the page's bytes
// (WebResourceData) and, optionally, their character set (WebResourceTextEncodingName). The page
// is read as HTML; subresources and subframes are not. Any failure gives nothing.
struct WebArchiveReader {
  static std::optional<StyledText> read(const std::filesystem::path& file);
};

} // namespace halyard
