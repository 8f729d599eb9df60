#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "core/Design/DesignImage.hpp"

namespace halyard {

// Loads the picture of a file sticker. The path is data from outside: the file is only read
// (never written or run), only when it is a regular file, and pictures beyond a size limit are
// refused instead of decoded. PNG is decoded by cairo, SVG (.svg, .svgz) by librsvg and drawn at
// the resolution the drawing needs, everything else by gdk-pixbuf. A bitmap picture has one
// point per pixel.
struct StickerPictureLoader {
  // Pictures with more pixels than this (256 MiB of bitmap) are not loaded.
  static constexpr long long maximumPixels = 64LL * 1024 * 1024;

  // Nothing when the file cannot be read or decoded.
  static std::optional<DesignImage> load(const std::filesystem::path& path,
                                         double pixelsPerPoint = 1);

  // The same for bytes in memory; `extension` (without dot, any case) chooses SVG.
  static std::optional<DesignImage> decode(std::string_view bytes, std::string_view extension,
                                           double pixelsPerPoint = 1);
};

} // namespace halyard
