#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

#include "DesignTestSupport.hpp"
#include "core/Design/DesignImageEffects.hpp"
#include "core/Design/DesignRenderer.hpp"
#include "core/Design/DesignerTextRenderer.hpp"
#include "core/Design/SymbolCatalogue.hpp"

using namespace halyard;
using designtest::pixelAt;
namespace fs = std::filesystem;

namespace {

DesignerTextSpec textSpec(const std::string& text, double fontSize) {
  DesignerTextSpec spec;
  spec.text = text;
  spec.fontSize = fontSize;
  spec.color = {1, 0, 0, 1};
  return spec;
}

// Columns and rows of the image holding any ink (alpha > 0): {minColumn, minRow, maxColumn,
// maxRow}.
std::array<int, 4> inkBounds(const DesignImage& image, int fromRow = 0, int toRow = -1) {
  if (toRow < 0) toRow = image.pixelHeight() - 1;
  std::array<int, 4> bounds{image.pixelWidth(), image.pixelHeight(), -1, -1};
  for (int row = fromRow; row <= toRow; ++row) {
    for (int column = 0; column < image.pixelWidth(); ++column) {
      if ((image.pixel(column, row) >> 24) == 0) continue;
      bounds = {std::min(bounds[0], column), std::min(bounds[1], row), std::max(bounds[2], column),
                std::max(bounds[3], row)};
    }
  }
  return bounds;
}

// An image of `points` × `points` with `density` pixels per point, transparent but for the
// given opaque black pixels.
DesignImage dots(int points, int density, std::vector<std::pair<int, int>> pixels,
                 uint32_t value = 0xFF000000u) {
  auto surface = *DesignImage::makeBitmap(points * density, points * density);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (const auto& [column, row] : pixels)
    std::memcpy(data + row * stride + column * 4, &value, 4);
  cairo_surface_mark_dirty(surface);
  return DesignImage(surface, points, points);
}

bool inked(const DesignImage& image, int column, int row) {
  return (image.pixel(column, row) >> 24) != 0;
}

} // namespace

TEST(DesignerTextImage, IsTheMeasuredTextPlusPaddingOnEverySide) {
  for (const auto& [fontSize, pad] : {std::pair{10.0, 2}, {100.0, 12}}) {
    const auto spec = textSpec("Hixy", fontSize);
    const auto bounds = DesignerTextRenderer::textBounds(spec, fontSize);
    const auto image = DesignerTextRenderer::image(spec, 1.0);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->pixelWidth(), static_cast<int>(std::ceil(bounds.width)) + 2 * pad) << fontSize;
    EXPECT_EQ(image->pixelHeight(), static_cast<int>(std::ceil(bounds.height)) + 2 * pad);
    EXPECT_EQ(image->width(), image->pixelWidth()); // one pixel per point

    // The padding stays clear; the ink is inside it.
    const auto ink = inkBounds(*image);
    EXPECT_GE(ink[0], pad);
    EXPECT_GE(ink[1], pad);
    EXPECT_LT(ink[2], image->pixelWidth() - pad);
    EXPECT_LT(ink[3], image->pixelHeight() - pad);

    const auto intrinsic = DesignerTextRenderer::intrinsicSize(spec);
    EXPECT_EQ(intrinsic.width, image->pixelWidth());
    EXPECT_EQ(intrinsic.height, image->pixelHeight());
  }

  // The scale multiplies the font size: 10 points at scale 3 are 30-point text.
  const auto scaled = DesignerTextRenderer::image(textSpec("Hixy", 10), 3.0);
  const auto large = DesignerTextRenderer::image(textSpec("Hixy", 30), 1.0);
  EXPECT_EQ(scaled->pixelWidth(), large->pixelWidth());
  EXPECT_EQ(scaled->pixelHeight(), large->pixelHeight());

  // Empty text still has a line's height and a width of one point plus the padding; a font
  // size of 0 is drawn at half a point.
  const auto empty = DesignerTextRenderer::image(textSpec("", 72), 1.0);
  EXPECT_EQ(empty->pixelWidth(), 19); // ceil(1 + 2 × 8.64)
  EXPECT_GT(empty->pixelHeight(), 72);
  EXPECT_TRUE(DesignerTextRenderer::image(textSpec("tiny", 0), 1.0).has_value());
  EXPECT_FALSE(DesignerTextRenderer::image(textSpec("x", 1e6), 1.0).has_value());
}

TEST(DesignerTextImage, ColourAlignmentAndDecorations) {
  // Fully covered pixels carry the text colour.
  const auto plain = *DesignerTextRenderer::image(textSpec("IIII", 60), 1.0);
  bool sawSolid = false;
  for (int row = 0; row < plain.pixelHeight(); ++row) {
    for (int column = 0; column < plain.pixelWidth(); ++column) {
      if (plain.pixel(column, row) == 0xFFFF0000u) sawSolid = true;
      ASSERT_EQ(plain.pixel(column, row) & 0x0000FFFFu, 0u); // no green or blue anywhere
    }
  }
  EXPECT_TRUE(sawSolid);

  // A short first line over a long second one: the short line sits left, right or centred.
  auto spec = textSpec("W\nWWWWWWWW", 40);
  std::map<DesignerTextAlignment, int> firstLineStart;
  for (auto alignment :
       {DesignerTextAlignment::left, DesignerTextAlignment::center, DesignerTextAlignment::right}) {
    spec.alignment = alignment;
    const auto image = *DesignerTextRenderer::image(spec, 1.0);
    firstLineStart[alignment] = inkBounds(image, 0, image.pixelHeight() / 2 - 2)[0];
  }
  const auto width = DesignerTextRenderer::image(spec, 1.0)->pixelWidth();
  EXPECT_LT(firstLineStart[DesignerTextAlignment::left], width / 8);
  EXPECT_NEAR(firstLineStart[DesignerTextAlignment::center], width / 2 - 20, width / 8);
  EXPECT_GT(firstLineStart[DesignerTextAlignment::right], width * 3 / 4);

  // An underline adds ink below the text.
  auto decorated = textSpec("ace", 60);
  const auto base = *DesignerTextRenderer::image(decorated, 1.0);
  decorated.isUnderline = true;
  EXPECT_GT(inkBounds(*DesignerTextRenderer::image(decorated, 1.0))[3], inkBounds(base)[3]);
}

TEST(DesignerTextFont, UnknownFamiliesFallBackToTheSystemFont) {
  auto spec = textSpec("x", 20);
  spec.fontFamily = "No Such Family Anywhere";
  spec.isBold = true;
  spec.isItalic = true;
  const auto fallback = DesignerTextRenderer::font(spec, 20);
  EXPECT_STREQ(pango_font_description_get_family(fallback.get()),
               DesignerTextRenderer::systemFontFamily());
  // The system font takes the bold weight only.
  EXPECT_EQ(pango_font_description_get_weight(fallback.get()), PANGO_WEIGHT_BOLD);
  EXPECT_EQ(pango_font_description_get_style(fallback.get()), PANGO_STYLE_NORMAL);
  spec.fontFamily = "DejaVu Serif";
  const auto named = DesignerTextRenderer::font(spec, 20);
  EXPECT_STREQ(pango_font_description_get_family(named.get()), "DejaVu Serif");
  EXPECT_EQ(pango_font_description_get_weight(named.get()), PANGO_WEIGHT_BOLD);
  EXPECT_EQ(pango_font_description_get_style(named.get()), PANGO_STYLE_ITALIC);
  EXPECT_EQ(pango_font_description_get_size(named.get()), 20 * PANGO_SCALE);
}

TEST(DesignImageOutline, GrowsTheSilhouetteByADiscOfTheThickness) {
  const auto image = dots(11, 1, {{5, 5}});
  const auto outline = *DesignImageEffects::outlined(image, {0, 1, 0, 1}, 3);
  EXPECT_EQ(outline.pixel(5, 5), 0xFF00FF00u);
  EXPECT_EQ(outline.pixel(8, 5), 0xFF00FF00u); // distance 3
  EXPECT_EQ(outline.pixel(5, 2), 0xFF00FF00u);
  EXPECT_EQ(outline.pixel(7, 7), 0xFF00FF00u); // 2.83
  EXPECT_EQ(outline.pixel(8, 7), 0u);          // 3.61
  EXPECT_EQ(outline.pixel(9, 5), 0u);
  EXPECT_EQ(outline.pixel(5, 9), 0u);

  // Near the edges the window is cut short, not wrapped or widened.
  const auto edges = *DesignImageEffects::outlined(dots(11, 1, {{0, 5}, {10, 0}}), {0, 1, 0, 1}, 3);
  EXPECT_TRUE(inked(edges, 3, 5));
  EXPECT_FALSE(inked(edges, 4, 5));
  EXPECT_TRUE(inked(edges, 7, 0));
  EXPECT_FALSE(inked(edges, 6, 0));
  EXPECT_FALSE(inked(edges, 0, 0));

  // The thickness is in points: at two pixels per point, 3 points reach 6 pixels.
  const auto dense = *DesignImageEffects::outlined(dots(11, 2, {{10, 10}}), {0, 0, 1, 1}, 3);
  EXPECT_TRUE(inked(dense, 16, 10));
  EXPECT_FALSE(inked(dense, 17, 10));

  // Alpha is kept (premultiplied colour); the outline colour's own alpha is not applied.
  const auto half =
      *DesignImageEffects::outlined(dots(5, 1, {{2, 2}}, 0x80400000u), {1, 1, 1, 0.2}, 1);
  EXPECT_EQ(half.pixel(3, 2), 0x80808080u);
  // A thickness beyond the picture's diagonal colours all of it.
  EXPECT_EQ(DesignImageEffects::outlined(image, {0, 1, 0, 1}, 1e9)->pixel(0, 0), 0xFF00FF00u);
}

TEST(DesignImageOutline, TextOutlinesAreAtLeastHalfAPointThick) {
  DesignSpec spec;
  spec.size = {200, 80};
  spec.gradient.kind = GradientKind::solid;
  spec.gradient.stops = {designtest::stop(0, 0, 0, 1, 0)};
  StickerItem sticker;
  sticker.id = "T";
  sticker.asset = {"t", "Text", StickerSource::text(textSpec("Outline", 30))};
  sticker.position = {100, 40};
  sticker.outlineEnabled = true;
  sticker.outlineColor = {1, 1, 1, 1};

  const auto renderWithWidth = [&](double width) {
    spec.stickers = {sticker};
    spec.stickers[0].outlineWidth = width;
    const auto image = DesignRenderer::render(spec, 1);
    std::vector<uint32_t> pixels;
    for (int row = 0; row < image.pixelHeight(); ++row) {
      for (int column = 0; column < image.pixelWidth(); ++column)
        pixels.push_back(image.pixel(column, row));
    }
    return pixels;
  };
  const auto thin = renderWithWidth(0.1);
  EXPECT_EQ(thin, renderWithWidth(0.5));
  EXPECT_NE(thin, renderWithWidth(2));

  // With the outline switched off, the sticker's own "outline" is used when it has a thickness.
  sticker.outlineEnabled = false;
  const auto none = renderWithWidth(3);
  sticker.outline = OutlineSpec{{1, 1, 1, 1}, 3};
  EXPECT_NE(renderWithWidth(3), none);
  sticker.outline->thickness = 0;
  EXPECT_EQ(renderWithWidth(3), none);
}

TEST(SymbolCatalogue, ShipsTheArrowAndChevronFamilies) {
  for (const char* name :
       {"arrow.right", "arrow.left", "arrow.forward", "arrow.backward", "arrow.right.circle",
        "arrow.right.circle.fill", "arrowshape.right", "arrowshape.right.fill", "chevron.right",
        "chevron.forward", "chevron.right.2", "hand.point.right", "hand.point.right.fill",
        "arrow.turn.down.right"}) {
    const auto image =
        DesignRenderer::loadStickerImage({name, name, StickerSource::sfSymbol(name)}, 0.1);
    ASSERT_TRUE(image.has_value()) << name;
    EXPECT_EQ(image->height(), 1024) << name;
    EXPECT_EQ(image->pixelHeight(), 103) << name; // 1024 points at 0.1 pixel per point
    EXPECT_GE(inkBounds(*image)[2], 0) << name << " has no ink";
  }
  for (const char* name : {"arrow.up", "../symbols/arrow.right", "Arrow.Right", "arrow..right",
                           ".arrow", "arrow.right/", ""}) {
    EXPECT_FALSE(SymbolCatalogue::path(name).has_value()) << name;
  }
}

TEST(SymbolCatalogue, IsFoundThroughTheResourceOverrideFirst) {
  TemporaryFolder folder("Halyard_DesignTest_");
  fs::create_directories(folder.path() / "symbols");
  std::ofstream(folder.path() / "symbols" / "star.svg")
      << "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 200 100'><rect width='200' "
         "height='100'/></svg>";
  ::setenv("HALYARD_RESOURCE_DIR", folder.path().c_str(), 1);
  const auto star = SymbolCatalogue::image("star");
  const auto builtIn = SymbolCatalogue::path("arrow.right");
  ::unsetenv("HALYARD_RESOURCE_DIR");
  ASSERT_TRUE(star.has_value());
  EXPECT_EQ(star->width(), 2048);   // the view box's aspect at 1024 points high
  ASSERT_TRUE(builtIn.has_value()); // still found beside the program, behind the override
}
