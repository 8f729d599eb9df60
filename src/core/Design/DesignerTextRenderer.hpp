#pragma once

#include <pango/pango.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/Design/CodableColor.hpp"
#include "core/Design/CodablePoint.hpp"
#include "core/Design/DesignImage.hpp"
#include "core/Design/DesignerTextSpec.hpp"

namespace halyard {

// Owned pango objects.
struct PangoFontDescriptionDeleter {
  void operator()(PangoFontDescription* value) const { pango_font_description_free(value); }
};
using FontDescription = std::unique_ptr<PangoFontDescription, PangoFontDescriptionDeleter>;
struct GObjectDeleter {
  void operator()(void* value) const;
};
using TextLayout = std::unique_ptr<PangoLayout, GObjectDeleter>;

// Everything a text sticker's text is drawn with.
struct DesignerTextAttributes {
  FontDescription font;
  CodableColor color;
  PangoAlignment alignment = PANGO_ALIGN_CENTER;
  PangoWrapMode lineBreakMode = PANGO_WRAP_WORD_CHAR;
  bool underline = false;
  bool strikethrough = false; // both drawn in the text colour
};

// Text stickers: the font, the laid-out text, its measured size and its picture. Sizes are in
// points; a text picture has one pixel per point.
struct DesignerTextRenderer {
  // The family the system font stands for here.
  static const char* systemFontFamily();

  // Text is laid out within this many points in both directions.
  static constexpr double layoutExtent = 100000;

  // The named family with the requested style (bold, italic) when the system has it, else the
  // system font; `size` in points.
  static FontDescription font(const DesignerTextSpec& spec, double size);
  static DesignerTextAttributes attributes(const DesignerTextSpec& spec, double size);
  // The text laid out with its attributes (the attributed string), within layoutExtent.
  static TextLayout attributedString(const DesignerTextSpec& spec, double size);

  // max(0.12 × size, 2.0)
  static double padding(double size);
  // The laid-out text's width and height (its logical extents).
  static DesignSize textBounds(const DesignerTextSpec& spec, double size);
  // The picture's size at the text's own font size.
  static DesignSize intrinsicSize(const DesignerTextSpec& spec);
  // The logical size of `text` set on one line in `font`, measured as text stickers are.
  static DesignSize measure(std::string_view text, const PangoFontDescription& font);

  // The text drawn at fontSize × scale into a transparent picture with `padding` on every side.
  // Nothing when the picture would be larger than a bitmap may be.
  static std::optional<DesignImage> image(const DesignerTextSpec& spec, double scale);
};

} // namespace halyard
