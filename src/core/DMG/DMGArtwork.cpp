#include "core/DMG/DMGArtwork.hpp"

#include <pango/pango.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/DMG/RoundedRectanglePath.hpp"
#include "core/Design/DesignImageEffects.hpp"
#include "core/Design/DesignRenderError.hpp"
#include "core/Design/DesignShadow.hpp"
#include "core/Design/DesignerTextRenderer.hpp"
#include "core/Design/SVGPicture.hpp"
#include "core/Design/StickerPictureLoader.hpp"
#include "core/Design/SymbolCatalogue.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/RegularFileReader.hpp"

namespace halyard {

namespace {

// A value moved into [0, limit − 1] (0 when that range is empty or the value is not a number).
double clampedInto(double value, double limit) {
  const double upper = std::max(limit - 1, 0.0);
  if (!(value > 0)) return 0;
  return std::min(value, upper);
}

double luminance(uint32_t pixel) {
  const double red = (pixel >> 16) & 0xFF;
  const double green = (pixel >> 8) & 0xFF;
  const double blue = pixel & 0xFF;
  return (0.2126 * red + 0.7152 * green + 0.0722 * blue) / 255;
}

// The premultiplied pixel of the picture (drawn stretched to imageSize) that holds the window
// point p, after moving p into the picture; nothing when no bitmap can be made.
std::optional<uint32_t> sampledPixel(FinderPoint p, const DesignImage& image,
                                     FinderSize imageSize) {
  const double x = clampedInto(p.x, imageSize.width);
  const double y = clampedInto(p.y, imageSize.height);
  auto bitmap = DesignImage::makeBitmap(1, 1);
  if (!bitmap) return std::nullopt;
  cairo_t* context = cairo_create(*bitmap);
  // The one pixel, in a space whose y grows upwards, covers the window's [x, x + 1) × [y, y + 1).
  cairo_translate(context, 0, 1);
  cairo_scale(context, 1, -1);
  cairo_translate(context, -x, -(imageSize.height - y - 1));
  image.draw(context, 0, 0, imageSize.width, imageSize.height, 1);
  cairo_destroy(context);
  const DesignImage sample(*bitmap, 1, 1);
  return sample.pixel(0, 0);
}

bool hasPixels(const DesignImage& image) {
  return image.surface() != nullptr && image.pixelWidth() > 0 && image.pixelHeight() > 0;
}

// Bitmap drawing with y growing upwards, as the design's coordinates do.
cairo_t* upwardContext(cairo_surface_t* bitmap, int height) {
  cairo_t* context = cairo_create(bitmap);
  cairo_translate(context, 0, height);
  cairo_scale(context, 1, -1);
  return context;
}

uint32_t pngCRC(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

void appendBigEndian(std::string& bytes, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Adds a pHYs chunk right after the header chunk, so that viewers (the Finder among them) take
// the picture for `points` wide and high rather than one point per pixel.
std::string withNominalSize(std::string png, int pixelWidth, int pixelHeight, FinderSize points) {
  constexpr size_t headerEnd = 8 + 4 + 4 + 13 + 4; // signature, then the IHDR chunk
  if (png.size() < headerEnd || png.compare(12, 4, "IHDR") != 0) return png;
  const auto perMetre = [](double pixels, double length) {
    return static_cast<uint32_t>(std::lround(pixels / length * 72 / 0.0254));
  };
  std::string chunk = "pHYs";
  appendBigEndian(chunk, perMetre(pixelWidth, points.width));
  appendBigEndian(chunk, perMetre(pixelHeight, points.height));
  chunk.push_back('\x01'); // unit: the metre
  std::string inserted;
  appendBigEndian(inserted, 9);
  inserted += chunk;
  appendBigEndian(inserted, pngCRC(chunk));
  png.insert(headerEnd, inserted);
  return png;
}

std::optional<std::string> encoded(cairo_surface_t* bitmap, double width, double height) {
  try {
    return DesignImageEffects::pngData(DesignImage(bitmap, width, height));
  } catch (const DesignRenderError&) {
    return std::nullopt;
  }
}

// The symbol fitted into a square of `box` pixels, as black artwork on transparency.
std::optional<DesignImage> symbolPicture(std::string_view name, double box) {
  const auto file = SymbolCatalogue::path(name);
  if (!file) return std::nullopt;
  std::optional<SVGPicture> picture;
  try {
    picture = SVGPicture::parse(RegularFileReader::read(*file));
  } catch (const Error&) {
    return std::nullopt;
  }
  if (!picture) return std::nullopt;
  const double ratio = picture->aspectRatio();
  return ratio >= 1 ? picture->rasterized(box, box / ratio, 1)
                    : picture->rasterized(box * ratio, box, 1);
}

} // namespace

CodableColor tint(DMGArrowTone tone) {
  switch (tone) {
  case DMGArrowTone::light:
    return {1, 1, 1, 0.98};
  case DMGArrowTone::dark:
    return {0, 0, 0, 0.92};
  case DMGArrowTone::neutral:
    break;
  }
  return {0.557, 0.557, 0.576, 1};
}

CodableColor shadowColor(DMGArrowTone tone) {
  switch (tone) {
  case DMGArrowTone::light:
    return {0, 0, 0, 0.35};
  case DMGArrowTone::dark:
    return {1, 1, 1, 0.22};
  case DMGArrowTone::neutral:
    break;
  }
  return {0, 0, 0, 0.12};
}

double DMGArrowTones::coverage(FinderPoint p, const DesignImage& image, FinderSize imageSize) {
  if (!hasPixels(image)) return 1.0;
  const auto pixel = sampledPixel(p, image, imageSize);
  return pixel ? static_cast<double>(*pixel >> 24) / 255 : 1.0;
}

DMGArrowTone DMGArrowTones::resolve(const std::optional<DesignImage>& image, FinderPoint p,
                                    FinderSize imageSize) {
  if (!image) return DMGArrowTone::light;
  if (coverage(p, *image, imageSize) < 0.5) return DMGArrowTone::neutral;
  return DMGArtwork::brightness(p, *image, imageSize) > 0.88 ? DMGArrowTone::dark
                                                             : DMGArrowTone::light;
}

FinderSize DMGArtwork::labelPadSize(std::string_view text) {
  FontDescription font(pango_font_description_new());
  pango_font_description_set_family(font.get(), DesignerTextRenderer::systemFontFamily());
  pango_font_description_set_weight(font.get(), PANGO_WEIGHT_MEDIUM);
  pango_font_description_set_absolute_size(font.get(), finderLabelTextSize * PANGO_SCALE);
  const double width = DesignerTextRenderer::measure(text, *font).width;
  return {std::min(std::ceil(width + 16), 260.0), 24};
}

double DMGArtwork::brightness(FinderPoint p, const DesignImage& image, FinderSize imageSize) {
  if (!hasPixels(image)) return 0;
  const auto pixel = sampledPixel(p, image, imageSize);
  return pixel ? luminance(*pixel) : averageBrightness(image);
}

double DMGArtwork::averageBrightness(const DesignImage& image) {
  if (!hasPixels(image)) return 0;
  double red = 0;
  double green = 0;
  double blue = 0;
  for (int row = 0; row < image.pixelHeight(); ++row) {
    for (int column = 0; column < image.pixelWidth(); ++column) {
      const uint32_t pixel = image.pixel(column, row);
      red += (pixel >> 16) & 0xFF;
      green += (pixel >> 8) & 0xFF;
      blue += pixel & 0xFF;
    }
  }
  const double count = static_cast<double>(image.pixelWidth()) * image.pixelHeight();
  return (0.2126 * red + 0.7152 * green + 0.0722 * blue) / count / 255;
}

std::optional<std::string> DMGArtwork::arrowPNG(std::string_view symbolName, DMGArrowTone tone,
                                                int side) {
  const int n = std::max(side, 64);
  auto bitmap = DesignImage::makeBitmap(n, n);
  if (!bitmap) return std::nullopt;
  const double inset = 0.16 * n;
  if (const auto symbol = symbolPicture(symbolName, n - 2 * inset)) {
    // Centred in the inset square; bitmap rows and window rows both run downwards here.
    const double x = (n - symbol->pixelWidth()) / 2.0;
    const double y = (n - symbol->pixelHeight()) / 2.0;
    cairo_t* context = cairo_create(*bitmap);
    const auto drawSymbol = [&](cairo_t* target) {
      cairo_mask_surface(target, symbol->surface(), x, y);
    };
    // The shadow falls 2 pixels below the symbol.
    DesignShadow{8, 0, 2, shadowColor(tone)}.paint(context, x, y, symbol->pixelWidth(),
                                                   symbol->pixelHeight(), drawSymbol);
    const CodableColor colour = tint(tone);
    cairo_set_source_rgba(context, colour.r, colour.g, colour.b, colour.a);
    drawSymbol(context);
    cairo_destroy(context);
  }
  return encoded(*bitmap, n, n);
}

std::optional<std::string>
DMGArtwork::composeBackground(const std::optional<std::filesystem::path>& baseImage,
                              FinderSize outputSize, const std::optional<std::string>& arrowPNGData,
                              FinderPoint arrowPos, double arrowSide, double backingScale,
                              const std::vector<DMGLabelPad>& labelPads) {
  const double k = backingScale > 1 ? backingScale : 1.0;
  const double pixelWidth = std::max(std::ceil(outputSize.width * k), 1.0);
  const double pixelHeight = std::max(std::ceil(outputSize.height * k), 1.0);
  if (!std::isfinite(pixelWidth) || !std::isfinite(pixelHeight)) return std::nullopt;
  if (pixelWidth > DesignImage::maximumSide || pixelHeight > DesignImage::maximumSide)
    return std::nullopt;
  const int width = static_cast<int>(pixelWidth);
  const int height = static_cast<int>(pixelHeight);
  auto bitmap = DesignImage::makeBitmap(width, height);
  if (!bitmap) return std::nullopt;
  cairo_t* context = upwardContext(*bitmap, height);

  // The base: the picture over the whole window, or the default dark gradient.
  std::optional<DesignImage> picture;
  if (baseImage) picture = StickerPictureLoader::load(*baseImage, k);
  if (picture) {
    picture->draw(context, 0, 0, width, height, 1);
  } else {
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 0, height);
    cairo_pattern_add_color_stop_rgb(gradient, 0, 0.1, 0.1, 0.1);
    cairo_pattern_add_color_stop_rgb(gradient, 1, 0.06, 0.06, 0.06);
    cairo_set_source(context, gradient);
    cairo_paint(context);
    cairo_pattern_destroy(gradient);
  }

  for (const DMGLabelPad& pad : labelPads) {
    if (!(pad.color.a > 0.01)) continue;
    const double padWidth = pad.size.width * k;
    const double padHeight = pad.size.height * k;
    const double x = pad.center.x * k - padWidth / 2;
    const double y = height - pad.center.y * k - padHeight / 2;
    const auto capsule = [&](cairo_t* target) {
      roundedRectanglePath(target, x, y, padWidth, padHeight, padHeight / 2);
      cairo_fill(target);
    };
    // Only the shadow around the pill shows: the pill itself is clipped away (even-odd: the
    // whole bitmap minus the pill).
    cairo_save(context);
    cairo_set_fill_rule(context, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_rectangle(context, 0, 0, width, height);
    roundedRectanglePath(context, x, y, padWidth, padHeight, padHeight / 2);
    cairo_clip(context);
    DesignShadow{8 * k, 0, 4 * k, {0, 0, 0, 0.16 * pad.color.a}}.paint(
        context, x, pad.center.y * k - padHeight / 2, padWidth, padHeight, capsule);
    cairo_restore(context);
    cairo_set_source_rgba(context, pad.color.r, pad.color.g, pad.color.b, pad.color.a);
    capsule(context);
  }

  if (arrowPNGData) {
    if (const auto arrow = StickerPictureLoader::decode(*arrowPNGData, "png")) {
      const double side = std::max(arrowSide, 64.0) * k;
      arrow->draw(context, arrowPos.x * k - side / 2, height - arrowPos.y * k - side / 2, side,
                  side, 1);
    }
  }
  const bool ok = cairo_status(context) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(context);
  if (!ok) {
    cairo_surface_destroy(*bitmap);
    return std::nullopt;
  }
  const auto png = encoded(*bitmap, outputSize.width, outputSize.height);
  if (!png) return std::nullopt;
  return withNominalSize(*png, width, height, outputSize);
}

} // namespace halyard
