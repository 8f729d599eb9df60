#include "core/DMG/FinderWindowPicture.hpp"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "core/DMG/FinderIconPictures.hpp"
#include "core/DMG/RoundedRectanglePath.hpp"
#include "core/Design/DesignImage.hpp"
#include "core/Design/DesignImageEffects.hpp"
#include "core/Design/DesignRenderError.hpp"
#include "core/Design/DesignerTextRenderer.hpp"
#include "core/Design/StickerPictureLoader.hpp"

namespace halyard {

namespace {

using Scene = FinderWindowScene;

constexpr double cornerRadius = 10;
// From an icon's centre down to the middle of its label's first line, beyond half the icon:
// where the artwork puts the label pills.
constexpr double labelGap = 14;

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Points per pixel of a PNG from its pHYs chunk (the Finder sizes a picture by its resolution);
// 1 when it declares none, as for 72 pixels per inch.
double pointsPerPixel(std::string_view png) {
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const std::size_t length = bigEndian32(png, at);
    const std::string_view type = png.substr(at + 4, 4);
    if (type == "IDAT" || length > png.size() - at - 12) break;
    if (type == "pHYs" && length >= 9 && png[at + 16] == 1) {
      const double perMetre = bigEndian32(png, at + 8);
      if (perMetre > 0) return std::clamp(72 / (perMetre * 0.0254), 0.01, 100.0);
    }
    at += 12 + length;
  }
  return 1;
}

// Draws an image surface into the rectangle (x, y, width, height) of a y-down space.
void drawImage(cairo_t* context, const DesignImage& image, double x, double y, double width,
               double height) {
  if (!(width > 0 && height > 0) || image.pixelWidth() <= 0 || image.pixelHeight() <= 0) return;
  cairo_save(context);
  cairo_translate(context, x, y);
  cairo_scale(context, width / image.pixelWidth(), height / image.pixelHeight());
  cairo_set_source_surface(context, image.surface(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(context), CAIRO_FILTER_GOOD);
  cairo_paint(context);
  cairo_restore(context);
}

void drawBackground(cairo_t* context, const Scene& scene) {
  const CodableColor& colour = scene.backgroundColour;
  cairo_set_source_rgb(context, colour.r, colour.g, colour.b);
  cairo_paint(context);
  if (!scene.background) return;
  const auto& picture = *scene.background;
  const auto image = StickerPictureLoader::decode(picture.bytes, picture.extension);
  if (!image) return;
  const double scale = picture.extension == "png" ? pointsPerPixel(picture.bytes) : 1.0;
  drawImage(context, *image, 0, 0, image->pixelWidth() * scale, image->pixelHeight() * scale);
}

void drawIcon(cairo_t* context, const Scene::Item& item, double side) {
  const double left = item.centre.x - side / 2;
  const double top = item.centre.y - side / 2;
  if (item.iconPNG) {
    if (const auto image = StickerPictureLoader::decode(*item.iconPNG, "png")) {
      // Fitted into the square, its proportions kept.
      const double ratio = static_cast<double>(image->pixelWidth()) / image->pixelHeight();
      const double width = ratio >= 1 ? side : side * ratio;
      const double height = ratio >= 1 ? side / ratio : side;
      drawImage(context, *image, item.centre.x - width / 2, item.centre.y - height / 2, width,
                height);
      return;
    }
  }
  FinderIconPictures::draw(context, item.icon, left, top, side);
}

PangoLayout* textLayout(cairo_t* context, std::string_view text, double size, bool bold) {
  PangoLayout* layout = pango_cairo_create_layout(context);
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, DesignerTextRenderer::systemFontFamily());
  pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_SEMIBOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  // Names come from outside: bytes that are not UTF-8 are replaced rather than refused.
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  pango_layout_set_text(layout, valid, -1);
  g_free(valid);
  pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
  return layout;
}

void drawLabel(cairo_t* context, const Scene& scene, const Scene::Item& item) {
  PangoLayout* layout = textLayout(context, item.label, scene.textSize, false);
  pango_layout_set_width(layout, static_cast<int>(Scene::labelWidth * PANGO_SCALE));
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  // Two lines at most; what does not fit gives way in the middle, as Finder names do.
  pango_layout_set_height(layout, -2);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE);
  PangoRectangle line{};
  pango_layout_line_get_pixel_extents(pango_layout_get_line_readonly(layout, 0), nullptr, &line);
  const double firstLineMiddle = item.centre.y + scene.iconSize / 2 + labelGap;
  const CodableColor& colour = scene.labelColour;
  cairo_set_source_rgba(context, colour.r, colour.g, colour.b, colour.a);
  cairo_move_to(context, item.centre.x - Scene::labelWidth / 2,
                firstLineMiddle - line.height / 2.0);
  pango_cairo_show_layout(context, layout);
  g_object_unref(layout);
}

void drawTitleBar(cairo_t* context, const Scene& scene) {
  const double width = scene.windowSize.width;
  const double height = Scene::titleBarHeight;
  cairo_rectangle(context, 0, 0, width, height);
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 0, height);
  cairo_pattern_add_color_stop_rgb(gradient, 0, 0.93, 0.93, 0.93);
  cairo_pattern_add_color_stop_rgb(gradient, 1, 0.89, 0.89, 0.89);
  cairo_set_source(context, gradient);
  cairo_fill(context);
  cairo_pattern_destroy(gradient);
  cairo_rectangle(context, 0, height - 0.5, width, 0.5);
  cairo_set_source_rgb(context, 0.76, 0.76, 0.76);
  cairo_fill(context);

  // Close, minimise and zoom: 12-point circles 20 points apart.
  const double colours[3][3] = {{1.0, 0.37, 0.34}, {1.0, 0.74, 0.18}, {0.16, 0.78, 0.25}};
  for (int i = 0; i < 3; ++i) {
    cairo_arc(context, 20 + 20 * i, height / 2, 6, 0, 2 * M_PI);
    cairo_set_source_rgb(context, colours[i][0], colours[i][1], colours[i][2]);
    cairo_fill_preserve(context);
    cairo_set_source_rgba(context, 0, 0, 0, 0.15);
    cairo_set_line_width(context, 0.5);
    cairo_stroke(context);
  }

  // The title, centred in the window, kept clear of the buttons.
  const double room = std::max(width - 2 * 80, 20.0);
  PangoLayout* layout = textLayout(context, scene.title, 13, true);
  pango_layout_set_width(layout, static_cast<int>(room * PANGO_SCALE));
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  int textHeight = 0;
  pango_layout_get_pixel_size(layout, nullptr, &textHeight);
  cairo_set_source_rgb(context, 0.3, 0.3, 0.3);
  cairo_move_to(context, (width - room) / 2, (height - textHeight) / 2.0);
  pango_cairo_show_layout(context, layout);
  g_object_unref(layout);
}

} // namespace

std::optional<std::string> FinderWindowPicture::png(const FinderWindowScene& scene) {
  const double k = Scene::backingScale;
  const double width = scene.windowSize.width;
  const double height = scene.windowSize.height;
  if (!(width >= 1 && height >= 1)) return std::nullopt;
  const double pixelWidth = std::ceil(width * k);
  const double pixelHeight = std::ceil((height + Scene::titleBarHeight) * k);
  if (!(pixelWidth <= DesignImage::maximumSide && pixelHeight <= DesignImage::maximumSide))
    return std::nullopt;
  auto bitmap = DesignImage::makeBitmap(static_cast<long long>(pixelWidth),
                                        static_cast<long long>(pixelHeight));
  if (!bitmap) return std::nullopt;
  cairo_t* context = cairo_create(*bitmap);
  cairo_scale(context, k, k);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_set_font_options(context, options);
  cairo_font_options_destroy(options);

  // Everything inside the window's rounded outline.
  roundedRectanglePath(context, 0, 0, width, height + Scene::titleBarHeight, cornerRadius);
  cairo_clip(context);
  drawTitleBar(context, scene);

  cairo_save(context);
  cairo_translate(context, 0, Scene::titleBarHeight);
  cairo_rectangle(context, 0, 0, width, height);
  cairo_clip(context);
  drawBackground(context, scene);
  for (const auto& item : scene.items)
    drawIcon(context, item, scene.iconSize);
  for (const auto& item : scene.items)
    drawLabel(context, scene, item);
  cairo_restore(context);

  // A hairline around the whole window.
  cairo_reset_clip(context);
  roundedRectanglePath(context, 0.25, 0.25, width - 0.5, height + Scene::titleBarHeight - 0.5,
                       cornerRadius);
  cairo_set_source_rgba(context, 0, 0, 0, 0.3);
  cairo_set_line_width(context, 0.5);
  cairo_stroke(context);

  const bool drawn = cairo_status(context) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(context);
  if (!drawn) {
    cairo_surface_destroy(*bitmap);
    return std::nullopt;
  }
  try {
    return DesignImageEffects::pngData(DesignImage(*bitmap, pixelWidth, pixelHeight));
  } catch (const DesignRenderError&) {
    return std::nullopt;
  }
}

} // namespace halyard
