#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Reads the text of HTML and XHTML documents with libxml2's HTML parser (no network access).
// Script and style text, the head and deleted text (<del>) are dropped, entities decoded, white
// space collapsed as a browser does (kept in <pre>), and block elements start new lines; list
// items start with "• " or, in ordered lists, their number and ". ". Bold and italic elements,
// headings, underlined elements and links, <font color> and colour, weight, slant and decoration
// declarations (inline, or in <style>
// elements under simple element and class selectors) style the runs. Any failure gives nothing.
struct HTMLDocumentReader {
  static std::optional<StyledText> read(const std::filesystem::path& file);

  // HTML bytes in `encoding` (a character-set name such as "UTF-8" or "windows-1252"); without
  // one, the document's byte-order mark or <meta> declaration decides, and UTF-8 is assumed for
  // bytes that are well-formed UTF-8.
  static std::optional<StyledText> readHTML(std::string_view bytes,
                                            const std::optional<std::string>& encoding = {});
};

} // namespace halyard
