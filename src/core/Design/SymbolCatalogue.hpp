#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/Design/DesignImage.hpp"

namespace halyard {

// The symbol images stickers can name ("arrow.right", "chevron.forward", …): our own SVG drawings
// in the resource folder symbols/<name>.svg. Symbols are black artwork on transparency.
struct SymbolCatalogue {
  // The point size symbols are configured with; a symbol image is this many points high.
  static constexpr double pointSize = 1024;

  // The drawing of `name`, or nothing for a name that is not in the catalogue (including any
  // name that is not of the form word(.word)* in lower-case letters and digits).
  static std::optional<std::filesystem::path> path(std::string_view name);

  // The symbol as an image of pointSize points high, drawn at pixelsPerPoint; nothing when the
  // catalogue has no such symbol.
  static std::optional<DesignImage> image(std::string_view name, double pixelsPerPoint = 1);
};

} // namespace halyard
