#include "core/Design/DesignerTextRenderer.hpp"

#include <glib-object.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <string_view>

namespace halyard {

void GObjectDeleter::operator()(void* value) const {
  if (value != nullptr) g_object_unref(value);
}

namespace {

// Beyond this font size no picture fits a bitmap anyway; it also keeps pango's fixed-point
// units far from overflowing.
constexpr double largestFontSize = 30000;

bool familyIsInstalled(const std::string& name) {
  PangoFontMap* map = pango_cairo_font_map_get_default();
  PangoFontFamily** families = nullptr;
  int count = 0;
  pango_font_map_list_families(map, &families, &count);
  bool found = false;
  for (int i = 0; i < count && !found; ++i) {
    found = g_ascii_strcasecmp(pango_font_family_get_name(families[i]), name.c_str()) == 0;
  }
  g_free(families);
  return found;
}

// A context whose measurements do not depend on a device: no hinting of metrics, no rounding of
// glyph positions, so that measuring and drawing agree at any size.
PangoContext* makeContext() {
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_context_set_round_glyph_positions(context, FALSE);
  return context;
}

TextLayout layoutFor(const DesignerTextSpec& spec, double size, double width) {
  PangoContext* context = makeContext();
  TextLayout layout(pango_layout_new(context));
  g_object_unref(context);

  const DesignerTextAttributes attributes = DesignerTextRenderer::attributes(spec, size);
  pango_layout_set_font_description(layout.get(), attributes.font.get());
  pango_layout_set_alignment(layout.get(), attributes.alignment);
  pango_layout_set_wrap(layout.get(), attributes.lineBreakMode);
  pango_layout_set_width(layout.get(), static_cast<int>(std::lround(width * PANGO_SCALE)));

  PangoAttrList* list = pango_attr_list_new();
  if (attributes.underline)
    pango_attr_list_insert(list, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (attributes.strikethrough) pango_attr_list_insert(list, pango_attr_strikethrough_new(TRUE));
  pango_layout_set_attributes(layout.get(), list);
  pango_attr_list_unref(list);

  // Invalid UTF-8 would make pango refuse the whole text; its bytes are replaced instead.
  gchar* text = g_utf8_make_valid(spec.text.data(), static_cast<gssize>(spec.text.size()));
  pango_layout_set_text(layout.get(), text, -1);
  g_free(text);
  return layout;
}

DesignSize measured(PangoLayout* layout) {
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  return {static_cast<double>(logical.width) / PANGO_SCALE,
          static_cast<double>(logical.height) / PANGO_SCALE};
}

} // namespace

const char* DesignerTextRenderer::systemFontFamily() {
  return "Sans";
}

FontDescription DesignerTextRenderer::font(const DesignerTextSpec& spec, double size) {
  FontDescription description(pango_font_description_new());
  const bool named =
      spec.fontFamily != DesignerTextSpec::systemFamily && familyIsInstalled(spec.fontFamily);
  pango_font_description_set_family(description.get(),
                                    named ? spec.fontFamily.c_str() : systemFontFamily());
  pango_font_description_set_weight(description.get(),
                                    spec.isBold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  // A named family takes the requested traits; the system font only takes the bold weight, as
  // the desktop app draws it.
  pango_font_description_set_style(description.get(), named && spec.isItalic ? PANGO_STYLE_ITALIC
                                                                             : PANGO_STYLE_NORMAL);
  const double clamped = std::clamp(std::isnan(size) ? 0.0 : size, 0.0, largestFontSize);
  pango_font_description_set_absolute_size(description.get(), clamped * PANGO_SCALE);
  return description;
}

DesignerTextAttributes DesignerTextRenderer::attributes(const DesignerTextSpec& spec, double size) {
  DesignerTextAttributes result;
  result.font = font(spec, size);
  result.color = spec.color;
  switch (spec.alignment) {
  case DesignerTextAlignment::left:
    result.alignment = PANGO_ALIGN_LEFT;
    break;
  case DesignerTextAlignment::center:
    result.alignment = PANGO_ALIGN_CENTER;
    break;
  case DesignerTextAlignment::right:
    result.alignment = PANGO_ALIGN_RIGHT;
    break;
  }
  result.underline = spec.isUnderline;
  result.strikethrough = spec.isStrikethrough;
  return result;
}

TextLayout DesignerTextRenderer::attributedString(const DesignerTextSpec& spec, double size) {
  return layoutFor(spec, size, layoutExtent);
}

double DesignerTextRenderer::padding(double size) {
  return std::max(0.12 * size, 2.0);
}

DesignSize DesignerTextRenderer::textBounds(const DesignerTextSpec& spec, double size) {
  return measured(attributedString(spec, size).get());
}

DesignSize DesignerTextRenderer::intrinsicSize(const DesignerTextSpec& spec) {
  const DesignSize bounds = textBounds(spec, spec.fontSize);
  const double pad = padding(spec.fontSize);
  return {std::ceil(std::max(bounds.width, 1.0)) + 2 * pad,
          std::ceil(std::max(bounds.height, 1.0)) + 2 * pad};
}

DesignSize DesignerTextRenderer::measure(std::string_view text, const PangoFontDescription& font) {
  PangoContext* context = makeContext();
  TextLayout layout(pango_layout_new(context));
  g_object_unref(context);
  pango_layout_set_font_description(layout.get(), &font);
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  pango_layout_set_text(layout.get(), valid, -1);
  g_free(valid);
  return measured(layout.get());
}

std::optional<DesignImage> DesignerTextRenderer::image(const DesignerTextSpec& spec, double scale) {
  const double size = std::max(spec.fontSize * scale, 0.5); // NaN-safe: max keeps 0.5
  if (!(size <= largestFontSize)) return std::nullopt;
  const DesignSize bounds = measured(attributedString(spec, size).get());
  const double pad = padding(size);
  const double width = std::ceil(std::ceil(std::max(bounds.width, 1.0)) + 2 * pad);
  const double height = std::ceil(std::ceil(std::max(bounds.height, 1.0)) + 2 * pad);
  auto bitmap =
      DesignImage::makeBitmap(static_cast<long long>(width), static_cast<long long>(height));
  if (!bitmap) return std::nullopt;

  // Laid out again in the inset rectangle, so that the alignment applies within it; the
  // rectangle is at least as wide as the measured text, so no line breaks differently.
  const TextLayout layout = layoutFor(spec, size, width - 2 * pad);
  cairo_t* context = cairo_create(*bitmap);
  cairo_set_source_rgba(context, spec.color.r, spec.color.g, spec.color.b, spec.color.a);
  // Not clipped to the inset rectangle: the padding is there for glyphs that reach beyond their
  // advance (italics, accents). The layout keeps the measuring context's font options.
  cairo_move_to(context, pad, pad);
  pango_cairo_show_layout(context, layout.get());
  const bool ok = cairo_status(context) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(context);
  if (!ok) {
    cairo_surface_destroy(*bitmap);
    return std::nullopt;
  }
  return DesignImage(*bitmap, width, height);
}

} // namespace halyard
