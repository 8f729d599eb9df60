#include "core/Design/DesignRenderer.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/Design/DesignGradientPainter.hpp"
#include "core/Design/DesignImageEffects.hpp"
#include "core/Design/DesignRenderError.hpp"
#include "core/Design/DesignerTextRenderer.hpp"
#include "core/Design/StickerPictureLoader.hpp"
#include "core/Design/SymbolCatalogue.hpp"
#include "core/Support/AtomicFile.hpp"

namespace halyard {

namespace {

struct Context {
  cairo_t* value;
  explicit Context(cairo_surface_t* surface) : value(cairo_create(surface)) {}
  ~Context() { cairo_destroy(value); }
};

struct SaveState {
  cairo_t* context;
  explicit SaveState(cairo_t* value) : context(value) { cairo_save(context); }
  ~SaveState() { cairo_restore(context); }
};

// A bitmap side for `points` × `scale`: rounded up; failure when not finite or beyond int64.
long long pixelSide(double points, double scale) {
  const double side = std::ceil(points * scale);
  if (!std::isfinite(side) || side >= 9.2233720368547758e18 || side <= -9.2233720368547758e18) {
    throw DesignRenderError::renderFailed();
  }
  return static_cast<long long>(side);
}

struct Outline {
  CodableColor color;
  double width;
};

std::optional<Outline> outlineOf(const StickerItem& sticker) {
  if (sticker.outlineEnabled && sticker.outlineWidth > 0) {
    return Outline{sticker.outlineColor, sticker.outlineWidth};
  }
  if (sticker.outline && sticker.outline->thickness > 0) {
    return Outline{sticker.outline->color, sticker.outline->thickness};
  }
  return std::nullopt;
}

} // namespace

DesignImage DesignRenderer::render(const DesignSpec& spec, double scale,
                                   const std::set<std::string>& hiding) {
  const long long width = pixelSide(spec.size.width, scale);
  const long long height = pixelSide(spec.size.height, scale);
  auto bitmap = DesignImage::makeBitmap(width, height);
  if (!bitmap) throw DesignRenderError::renderFailed();
  // The image owns the bitmap from here on, on every path.
  DesignImage image(*bitmap, spec.size.width, spec.size.height);

  Context context(image.surface());
  // Canvas space: origin bottom-left, y up, one unit per pixel.
  cairo_translate(context.value, 0, static_cast<double>(height));
  cairo_scale(context.value, 1, -1);

  const DesignSize pixels{static_cast<double>(width), static_cast<double>(height)};
  DesignGradientPainter::draw(context.value, pixels, spec.gradient);

  std::vector<const StickerItem*> order;
  order.reserve(spec.stickers.size());
  for (const auto& sticker : spec.stickers)
    order.push_back(&sticker);
  std::stable_sort(order.begin(), order.end(), [](const StickerItem* a, const StickerItem* b) {
    return a->zIndex < b->zIndex;
  });
  for (const StickerItem* sticker : order) {
    if (hiding.count(sticker->id) != 0) continue;
    drawSticker(context.value, spec.size, *sticker, scale);
  }

  if (cairo_status(context.value) != CAIRO_STATUS_SUCCESS) throw DesignRenderError::renderFailed();
  cairo_surface_flush(image.surface());
  return image;
}

void DesignRenderer::renderPNG(const DesignSpec& spec, double scale,
                               const std::filesystem::path& path) {
  const auto bytes = DesignImageEffects::pngData(render(spec, scale));
  AtomicFile::writeAll(path, bytes);
}

std::optional<DesignImage> DesignRenderer::loadStickerImage(const StickerAsset& asset,
                                                            double pixelsPerPoint) {
  if (const auto* symbol = asset.source.symbol()) {
    return SymbolCatalogue::image(symbol->name, pixelsPerPoint);
  }
  if (const auto* url = asset.source.fileURL()) {
    if (!url->isFileURL()) return std::nullopt;
    return StickerPictureLoader::load(url->path(), pixelsPerPoint);
  }
  if (const auto* text = asset.source.textSpec()) return DesignerTextRenderer::image(*text, 1.0);
  return std::nullopt;
}

void DesignRenderer::drawSticker(cairo_t* context, DesignSize /*canvasSize*/,
                                 const StickerItem& sticker, double scale) {
  const double alpha = std::clamp(sticker.opacity, 0.0, 1.0);
  const double drawScale = sticker.scale * scale;
  const auto outline = outlineOf(sticker);
  const DesignerTextSpec* text = sticker.asset.source.textSpec();

  std::optional<DesignImage> image;
  double drawnWidth = 0;
  double drawnHeight = 0;
  std::optional<DesignImage> outlineImage;
  if (text != nullptr) {
    image = DesignerTextRenderer::image(*text, drawScale);
    if (!image) throw DesignRenderError::unsupportedStickerAsset();
    drawnWidth = image->width();
    drawnHeight = image->height();
    if (outline) {
      outlineImage = DesignImageEffects::outlined(*image, outline->color,
                                                  std::max(outline->width * scale, 0.5));
    }
  } else {
    // Vector pictures are drawn at the resolution they appear at (at least a pixel).
    const double density = std::isfinite(drawScale) ? std::max(std::fabs(drawScale), 1e-3) : 1.0;
    image = loadStickerImage(sticker.asset, density);
    if (!image) throw DesignRenderError::unsupportedStickerAsset();
    drawnWidth = image->width() * drawScale;
    drawnHeight = image->height() * drawScale;
    // A bitmap larger than its drawing is reduced first: less memory, a cheaper outline, and
    // cairo's filter does the reduction well in one step.
    const double columns = std::ceil(std::fabs(drawnWidth));
    const double rows = std::ceil(std::fabs(drawnHeight));
    if (columns >= 1 && rows >= 1 && columns < image->pixelWidth() && rows < image->pixelHeight()) {
      if (auto smaller = image->resampled(static_cast<int>(columns), static_cast<int>(rows))) {
        image = std::move(smaller);
      }
    }
    if (outline) {
      // The outline width is in canvas points; the picture is drawn at drawScale pixels per
      // picture point and a canvas point is `scale` pixels, so width × scale / drawScale picture
      // points make the outline `width` canvas points at any render scale.
      const double thickness = std::max(outline->width * scale / std::max(drawScale, 0.001), 0.5);
      outlineImage = DesignImageEffects::outlined(*image, outline->color, thickness);
      // Our pictures always have a bitmap, so the outline is always made; were it not, the
      // picture is drawn without one.
    }
  }

  SaveState state(context);
  cairo_translate(context, sticker.position.x * scale, sticker.position.y * scale);
  cairo_rotate(context, sticker.rotationRadians);
  if (sticker.mirroredHorizontally) cairo_scale(context, -1, 1);
  const double x = -0.5 * drawnWidth;
  const double y = -0.5 * drawnHeight;
  if (outlineImage) outlineImage->draw(context, x, y, drawnWidth, drawnHeight, alpha);
  image->draw(context, x, y, drawnWidth, drawnHeight, alpha);
}

} // namespace halyard
