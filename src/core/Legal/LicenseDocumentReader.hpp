#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Reads a license document into styled text, by the lower-cased extension of its name (a .doc
// file that holds RTF or HTML is read as what it holds). Every
// reader treats the file as untrusted: at most `maximumBytes` are read, and any failure (an
// unreadable, oversized or malformed file) yields nothing, never an exception; only a reader the
// program cannot load throws (ModuleLoadError), so a broken installation never drops a license
// without a word. A result whose plain string is only white space and line breaks is nothing too.
struct LicenseDocumentReader {
  // Larger files are not license documents anyone can be asked to read.
  static constexpr std::uintmax_t maximumBytes = 32 * 1024 * 1024;

  static std::optional<StyledText> read(const std::filesystem::path& url);

  // The default attributes of plain text: the system font at 12 points, black.
  static TextAttributes plainAttributes();
  // The plain-text reader on bytes already read.
  static StyledText plainText(std::string_view bytes);
};

} // namespace halyard
