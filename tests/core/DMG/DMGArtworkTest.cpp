#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "core/DMG/DMGArtwork.hpp"
#include "core/DMG/DMGWindowArtwork.hpp"
#include "core/DMG/InstallerWindowPreset.hpp"
#include "core/Design/DesignTestSupport.hpp"
#include "core/Design/StickerPictureLoader.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
using designtest::Pixel;
using designtest::pixelAt;
namespace fs = std::filesystem;

namespace {

// A picture of width × height pixels (one per point) painted by `paint` in cairo's own space
// (y downwards).
DesignImage picture(int width, int height, const std::function<void(cairo_t*)>& paint) {
  cairo_surface_t* surface = *DesignImage::makeBitmap(width, height);
  cairo_t* context = cairo_create(surface);
  paint(context);
  cairo_destroy(context);
  return DesignImage(surface, width, height);
}

std::function<void(cairo_t*)> filled(double r, double g, double b, double a) {
  return [=](cairo_t* context) {
    cairo_set_source_rgba(context, r, g, b, a);
    cairo_paint(context);
  };
}

DesignImage decodedPNG(const std::string& png) {
  auto image = StickerPictureLoader::decode(png, "png");
  if (!image) throw std::runtime_error("not a PNG");
  return *image;
}

bool near(Pixel pixel, int r, int g, int b, int tolerance) {
  return std::abs(pixel.r - r) <= tolerance && std::abs(pixel.g - g) <= tolerance &&
         std::abs(pixel.b - b) <= tolerance;
}

uint32_t bigEndianAt(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

} // namespace

TEST(DMGArrowTone, ResolvesFromWhatLiesUnderTheArrow) {
  const FinderSize window{800, 500};
  const FinderPoint left{200, 250};
  const FinderPoint right{600, 250};
  // Left half opaque white, right half transparent; 100 × 50 pixels stretched over the window.
  const DesignImage half = picture(100, 50, [](cairo_t* context) {
    cairo_set_source_rgb(context, 1, 1, 1);
    cairo_rectangle(context, 0, 0, 50, 50);
    cairo_fill(context);
  });
  struct Case {
    const char* name;
    std::optional<DesignImage> image;
    FinderPoint point;
    DMGArrowTone tone;
  };
  const Case cases[] = {
      {"no picture", std::nullopt, left, DMGArrowTone::light},
      {"transparent", picture(10, 10, filled(1, 1, 1, 0)), left, DMGArrowTone::neutral},
      {"bright", picture(10, 10, filled(1, 1, 1, 1)), left, DMGArrowTone::dark},
      {"dark", picture(10, 10, filled(0.1, 0.1, 0.2, 1)), left, DMGArrowTone::light},
      {"half covered, on the picture", half, left, DMGArrowTone::dark},
      {"half covered, beside it", half, right, DMGArrowTone::neutral},
      // Brightness must be above 0.88: grey 225 is (0.882), grey 224 is not (0.878).
      {"just bright enough", picture(4, 4, filled(225 / 255.0, 225 / 255.0, 225 / 255.0, 1)), left,
       DMGArrowTone::dark},
      {"not quite bright", picture(4, 4, filled(224 / 255.0, 224 / 255.0, 224 / 255.0, 1)), left,
       DMGArrowTone::light},
      // Coverage 128 / 255 is at least one half; 127 / 255 is not.
      {"half opaque white", picture(4, 4, filled(1, 1, 1, 128 / 255.0)), left, DMGArrowTone::light},
      {"less than half opaque", picture(4, 4, filled(1, 1, 1, 127 / 255.0)), left,
       DMGArrowTone::neutral},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DMGArrowTones::resolve(c.image, c.point, window), c.tone);
  }
  EXPECT_EQ(tint(DMGArrowTone::neutral), (CodableColor{0.557, 0.557, 0.576, 1}));
  EXPECT_EQ(shadowColor(DMGArrowTone::dark), (CodableColor{1, 1, 1, 0.22}));
}

TEST(DMGArtwork, SamplingTakesThePixelUnderThePointAndClampsIntoThePicture) {
  // 4 × 4 pixels: red top-left, green top-right, blue bottom-left, white bottom-right, the
  // rest transparent.
  const DesignImage corners = picture(4, 4, [](cairo_t* context) {
    const auto dot = [context](int x, int y, double r, double g, double b) {
      cairo_set_source_rgb(context, r, g, b);
      cairo_rectangle(context, x, y, 1, 1);
      cairo_fill(context);
    };
    dot(0, 0, 1, 0, 0);
    dot(3, 0, 0, 1, 0);
    dot(0, 3, 0, 0, 1);
    dot(3, 3, 1, 1, 1);
  });
  struct Case {
    FinderPoint point;
    double brightness;
    double coverage;
  };
  const Case cases[] = {
      {{0, 0}, 0.2126, 1},   {{-50, -7}, 0.2126, 1},
      {{3, 0}, 0.7152, 1},   {{99, -1}, 0.7152, 1},
      {{0, 3.9}, 0.0722, 1}, {{-1, 80}, 0.0722, 1},
      {{3, 3}, 1, 1},        {{1e9, 1e9}, 1, 1},
      {{1.5, 1.5}, 0, 0},    {{std::nan(""), 0}, 0.2126, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.point.x << ", " << c.point.y);
    EXPECT_NEAR(DMGArtwork::brightness(c.point, corners, {4, 4}), c.brightness, 1e-9);
    EXPECT_NEAR(DMGArrowTones::coverage(c.point, corners, {4, 4}), c.coverage, 1e-9);
  }
  // Drawn stretched: the top-right corner of a 200 × 80 window lies in the picture's top-right
  // pixel.
  EXPECT_NEAR(DMGArtwork::brightness({199, 0}, corners, {200, 80}), 0.7152, 1e-9);
  // The mean of the premultiplied components: four lit pixels out of sixteen.
  EXPECT_NEAR(DMGArtwork::averageBrightness(corners), (0.2126 + 0.7152 + 0.0722 + 1) / 16, 1e-9);
}

TEST(DMGArtwork, LabelPadsFitTheirTextUpTo260Points) {
  const FinderSize empty = DMGArtwork::labelPadSize("");
  EXPECT_EQ(empty.width, 16);
  EXPECT_EQ(empty.height, 24);
  const FinderSize applications = DMGArtwork::labelPadSize("Applications");
  EXPECT_EQ(applications.height, 24);
  EXPECT_EQ(applications.width, std::ceil(applications.width));
  EXPECT_GT(applications.width, DMGArtwork::labelPadSize("App").width);
  EXPECT_GT(applications.width, 16 + 12 * 3); // twelve letters are wider than three ems
  EXPECT_LT(applications.width, 16 + 12 * 12);
  EXPECT_EQ(DMGArtwork::labelPadSize(std::string(80, 'W')).width, 260);
}

TEST(DMGArtwork, ArrowIsASquareOfAtLeast64PixelsInTheToneTint) {
  const DesignImage small =
      decodedPNG(*DMGArtwork::arrowPNG("arrow.right", DMGArrowTone::light, 44));
  EXPECT_EQ(small.pixelWidth(), 64);
  EXPECT_EQ(small.pixelHeight(), 64);
  // The shaft runs through the centre in the tint; the corners stay clear.
  const Pixel centre = pixelAt(small, 32, 32);
  EXPECT_GE(centre.a, 240);
  EXPECT_GE(centre.r, 235);
  EXPECT_EQ(pixelAt(small, 0, 0).a, 0);
  // Its shadow falls below: under the shaft's lower edge, hardly above its upper edge.
  EXPECT_GT(pixelAt(small, 25, 38).a, pixelAt(small, 25, 26).a + 4);

  const DesignImage neutral =
      decodedPNG(*DMGArtwork::arrowPNG("arrow.right", DMGArrowTone::neutral, 100));
  EXPECT_EQ(neutral.pixelWidth(), 100);
  const Pixel grey = pixelAt(neutral, 50, 50);
  EXPECT_EQ(grey.a, 255);
  EXPECT_TRUE(near(grey, 142, 142, 147, 2));

  const DesignImage unknown =
      decodedPNG(*DMGArtwork::arrowPNG("no.such.symbol", DMGArrowTone::light, 44));
  EXPECT_EQ(unknown.pixelWidth(), 64);
  for (int row = 0; row < 64; ++row)
    for (int column = 0; column < 64; ++column)
      ASSERT_EQ(unknown.pixel(column, row), 0u) << column << ", " << row;
}

TEST(DMGArtwork, ComposedBackgroundIsTwiceTheWindowWithItsLayers) {
  TemporaryFolder folder("Halyard_ArtworkTest_");
  const FinderSize window{800, 500};

  // The default gradient: 0.1 grey at the bottom, 0.06 at the top; twice the window in pixels,
  // declared as 144 pixels per inch (5669 per metre) right after the header.
  const std::string plain =
      *DMGArtwork::composeBackground(std::nullopt, window, std::nullopt, {400, 250}, 44, 2, {});
  EXPECT_EQ(plain.substr(33, 8), std::string("\0\0\0\x09pHYs", 8));
  EXPECT_EQ(bigEndianAt(plain, 41), 5669u);
  EXPECT_EQ(bigEndianAt(plain, 45), 5669u);
  EXPECT_EQ(plain[49], '\x01');
  EXPECT_EQ(bigEndianAt(plain, 50), 0x495224F0u); // the chunk's CRC
  const DesignImage gradient = decodedPNG(plain);
  ASSERT_EQ(gradient.pixelWidth(), 1600);
  ASSERT_EQ(gradient.pixelHeight(), 1000);
  EXPECT_TRUE(near(pixelAt(gradient, 800, 999), 25, 25, 25, 1));
  EXPECT_TRUE(near(pixelAt(gradient, 5, 0), 15, 15, 15, 1));
  EXPECT_TRUE(near(pixelAt(gradient, 1599, 500), 20, 20, 20, 1));
  // Fractional sizes round up; a scale below 1 counts as 1.
  EXPECT_EQ(decodedPNG(*DMGArtwork::composeBackground(std::nullopt, {100.2, 50}, std::nullopt,
                                                      {0, 0}, 0, 0.5, {}))
                .pixelWidth(),
            101);
  EXPECT_FALSE(
      DMGArtwork::composeBackground(std::nullopt, {INFINITY, 500}, std::nullopt, {0, 0}, 0, 2, {}));

  // A picture is stretched over the whole window: white on the left, blue on the right.
  const fs::path base = folder.path() / "base.png";
  designtest::writeTwoColourPNG(base, 100, 50, 50, 1, 1, 1, 0, 0, 1);
  const DMGLabelPad pad{{200, 150}, {100, 24}, {0.2, 0.4, 0.9, 1}};
  const DMGLabelPad invisible{{600, 400}, {100, 24}, {1, 0, 0, 0}};
  const auto arrow = DMGArtwork::arrowPNG("arrow.right", DMGArrowTone::neutral, 44);
  const DesignImage composed = decodedPNG(
      *DMGArtwork::composeBackground(base, window, arrow, {400, 250}, 44, 2, {pad, invisible}));
  EXPECT_TRUE(near(pixelAt(composed, 10, 10), 255, 255, 255, 0));
  EXPECT_TRUE(near(pixelAt(composed, 1590, 990), 0, 0, 255, 0));
  // The pill's centre (400, 300 in pixels) holds its colour; its shadow darkens the white below
  // its lower edge (pixel row 324) and fades out further down, less so above its upper edge.
  EXPECT_TRUE(near(pixelAt(composed, 400, 300), 51, 102, 230, 1));
  const int justBelow = pixelAt(composed, 400, 330).r;
  const int further = pixelAt(composed, 400, 345).r;
  const int farBelow = pixelAt(composed, 400, 380).r;
  const int justAbove = pixelAt(composed, 400, 270).r;
  EXPECT_LT(justBelow, further);
  EXPECT_LT(further, farBelow);
  EXPECT_LT(justBelow, 245);
  EXPECT_EQ(farBelow, 255);
  EXPECT_LT(justBelow, justAbove);
  // The arrow (128 pixels square at twice 64 points) is centred on (800, 500) in its tint, over
  // the blue half.
  EXPECT_TRUE(near(pixelAt(composed, 800, 500), 142, 142, 147, 3));
  EXPECT_TRUE(near(pixelAt(composed, 800 + 70, 500), 0, 0, 255, 0));
  // A pill without colour leaves no trace, not even a shadow.
  const DesignImage withoutPads =
      decodedPNG(*DMGArtwork::composeBackground(base, window, arrow, {400, 250}, 44, 2, {pad}));
  for (int row = 700; row < 900; ++row)
    for (int column = 1000; column < 1400; ++column)
      ASSERT_EQ(composed.pixel(column, row), withoutPads.pixel(column, row));

  // An unreadable picture falls back to the gradient.
  AtomicFile::writeAll(folder.path() / "broken.png", "not a picture");
  const DesignImage fallback = decodedPNG(*DMGArtwork::composeBackground(
      folder.path() / "broken.png", window, std::nullopt, {0, 0}, 0, 2, {}));
  EXPECT_TRUE(near(pixelAt(fallback, 800, 999), 25, 25, 25, 1));
}

// The default background at every window size, as dmg-background draws it, against the
// pictures kept in tests/data/artwork (each looked at when it was made). Anti-aliasing and
// glyph differences are tolerated; a moved, resized or recoloured layer is not. After an
// intended change: BOSUN_REGENERATE_GOLDEN=1 build/tests/test_core_DMG --gtest_filter='*Golden*'
TEST(DMGArtwork, GoldenBackgroundsPerWindowPreset) {
  const bool regenerate = std::getenv("BOSUN_REGENERATE_GOLDEN") != nullptr;
  for (const InstallerWindowPreset preset : InstallerWindowPresets::allCases) {
    const std::string name = std::string(rawValue(preset));
    SCOPED_TRACE(name);
    const auto size = windowSize(preset);
    DMGBuildRequest request;
    request.arrowSymbol = "arrow.right";
    request.installerWindowSize = {size.width, size.height};
    // Pills on three of the five sizes; the small window also shows the reversed layout.
    request.exportLabelPillEnabled =
        preset != InstallerWindowPreset::small && preset != InstallerWindowPreset::large;
    request.isReversed = preset == InstallerWindowPreset::small;
    request.exportLabelPillColor = CodableColor::white();
    const auto png = DMGWindowArtwork::make(request, "Demo").backgroundPNG(request);
    ASSERT_TRUE(png);
    const fs::path path = fs::path(TEST_DATA_DIR) / "artwork" / (name + ".png");
    if (regenerate) AtomicFile::writeAll(path, *png);
    cairo_surface_t* stored = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(stored), CAIRO_STATUS_SUCCESS);
    const DesignImage expected(stored, 0, 0);
    const DesignImage actual = decodedPNG(*png);
    ASSERT_EQ(actual.pixelWidth(), 2 * static_cast<int>(size.width));
    ASSERT_EQ(actual.pixelHeight(), 2 * static_cast<int>(size.height));
    ASSERT_EQ(expected.pixelWidth(), actual.pixelWidth());
    ASSERT_EQ(expected.pixelHeight(), actual.pixelHeight());
    // Both are ARGB32 bitmaps of the same size, so their rows are equally long.
    cairo_surface_flush(actual.surface());
    const unsigned char* made = cairo_image_surface_get_data(actual.surface());
    const unsigned char* kept = cairo_image_surface_get_data(expected.surface());
    long long differing = 0;
    for (size_t at = 0; at < static_cast<size_t>(actual.pixelWidth()) * actual.pixelHeight() * 4;
         at += 4) {
      for (int channel = 0; channel < 4; ++channel) {
        if (std::abs(made[at + channel] - kept[at + channel]) > 24) {
          ++differing;
          break;
        }
      }
    }
    // A pill or the arrow out of place differs in far more than this many pixels.
    EXPECT_LE(differing, 200) << differing << " pixels differ";
  }
}
