#pragma once

#include <cairo.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "core/Design/DesignImage.hpp"
#include "core/Design/DesignSpec.hpp"

namespace halyard {

// Draws a template's canvas: the background gradient, then the stickers in z order. Canvas
// coordinates have their origin at the bottom-left corner and y growing upwards.
struct DesignRenderer {
  // The canvas at `scale` (bitmap size = canvas size × scale, each rounded up to a whole pixel),
  // without the stickers whose ids are in `hiding`. The image's size is the canvas size in
  // points. Throws DesignRenderError.
  static DesignImage render(const DesignSpec& spec, double scale,
                            const std::set<std::string>& hiding = {});

  // render() without hiding, encoded as PNG and written atomically to `path`. Throws
  // DesignRenderError, or halyard::Error when the file cannot be written.
  static void renderPNG(const DesignSpec& spec, double scale, const std::filesystem::path& path);

  // The picture of a sticker asset: the symbol (1024 points high), the picture file, or the text
  // at its own font size; nothing when there is none. Vector pictures are drawn at
  // `pixelsPerPoint`.
  static std::optional<DesignImage> loadStickerImage(const StickerAsset& asset,
                                                     double pixelsPerPoint = 1);

  // Draws one sticker into `context` (user space: bitmap pixels, y up). Throws
  // DesignRenderError::unsupportedStickerAsset when its picture cannot be obtained.
  static void drawSticker(cairo_t* context, DesignSize canvasSize, const StickerItem& sticker,
                          double scale);
};

} // namespace halyard
