#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <numbers>

#include "DesignTestSupport.hpp"
#include "core/Design/DesignRenderError.hpp"
#include "core/Design/DesignRenderer.hpp"

using namespace halyard;
using designtest::canvasPixel;
using designtest::Pixel;
using designtest::pixelAt;
using designtest::stop;
namespace fs = std::filesystem;

namespace {

DesignSpec canvas(double width, double height, GradientKind kind, std::vector<GradientStop> stops) {
  DesignSpec spec;
  spec.size = {width, height};
  spec.gradient.kind = kind;
  spec.gradient.stops = std::move(stops);
  spec.gradient.radialCenter = {0.5, 0.5};
  spec.gradient.radialRadius = 0.5;
  return spec;
}

DesignSpec whiteCanvas() {
  return canvas(100, 100, GradientKind::solid, {stop(1, 1, 1, 1, 0)});
}

DesignRenderError::Code renderFailure(const DesignSpec& spec, double scale = 1) {
  try {
    DesignRenderer::render(spec, scale);
  } catch (const DesignRenderError& error) {
    return error.kind();
  }
  ADD_FAILURE() << "rendered";
  return DesignRenderError::Code::renderFailed;
}

void expectNear(Pixel actual, Pixel expected, int tolerance = 2) {
  EXPECT_NEAR(actual.a, expected.a, tolerance);
  EXPECT_NEAR(actual.r, expected.r, tolerance);
  EXPECT_NEAR(actual.g, expected.g, tolerance);
  EXPECT_NEAR(actual.b, expected.b, tolerance);
}

constexpr Pixel red{255, 255, 0, 0};
constexpr Pixel green{255, 0, 255, 0};
constexpr Pixel blue{255, 0, 0, 255};
constexpr Pixel white{255, 255, 255, 255};

class StickerDrawing : public ::testing::Test {
protected:
  void SetUp() override {
    designtest::writeTwoColourPNG(redSquare, 10, 10, 10, 1, 0, 0, 0, 0, 0);
    designtest::writeTwoColourPNG(blueSquare, 10, 10, 10, 0, 0, 1, 0, 0, 0);
    designtest::writeTwoColourPNG(redGreen, 20, 10, 10, 1, 0, 0, 0, 1, 0);
  }
  StickerItem sticker(const std::string& id, const fs::path& file, double x = 50, double y = 50) {
    return designtest::pictureSticker(id, file, x, y);
  }

  TemporaryFolder folder{"Halyard_DesignTest_"};
  fs::path redSquare = folder.path() / "red.png";
  fs::path blueSquare = folder.path() / "blue.png";
  fs::path redGreen = folder.path() / "redgreen.png"; // left half red, right half green
};

} // namespace

TEST(DesignRendererSize, PixelsAreTheCanvasTimesTheScaleRoundedUp) {
  const auto spec = canvas(660, 400, GradientKind::none, {});
  const auto one = DesignRenderer::render(spec, 1.0);
  EXPECT_EQ(one.pixelWidth(), 660);
  EXPECT_EQ(one.pixelHeight(), 400);
  const auto two = DesignRenderer::render(spec, 2.0);
  EXPECT_EQ(two.pixelWidth(), 1320);
  EXPECT_EQ(two.pixelHeight(), 800);
  EXPECT_EQ(two.width(), 660); // the image keeps the canvas size in points

  const auto odd = DesignRenderer::render(canvas(660.2, 400, GradientKind::none, {}), 1.0);
  EXPECT_EQ(odd.pixelWidth(), 661);
  EXPECT_EQ(odd.width(), 660.2);
}

TEST(DesignRendererSize, UnusableSizesFailToRender) {
  using Code = DesignRenderError::Code;
  EXPECT_EQ(renderFailure(canvas(0, 400, GradientKind::none, {})), Code::renderFailed);
  EXPECT_EQ(renderFailure(canvas(-10, 400, GradientKind::none, {})), Code::renderFailed);
  EXPECT_EQ(renderFailure(canvas(1e300, 1e300, GradientKind::none, {})), Code::renderFailed);
  EXPECT_EQ(renderFailure(canvas(660, 400, GradientKind::none, {}), INFINITY), Code::renderFailed);
  EXPECT_EQ(renderFailure(canvas(40000, 10, GradientKind::none, {})), Code::renderFailed);
  try {
    DesignRenderer::render(canvas(0, 0, GradientKind::none, {}), 1);
  } catch (const DesignRenderError& error) {
    EXPECT_STREQ(error.what(), "Failed to render the composed background image.");
    EXPECT_EQ(error.domain(), "Halyard.designRenderer");
  }
}

TEST(DesignRendererBackground, NoneIsTransparentAndSolidUsesTheFirstStop) {
  const auto none =
      DesignRenderer::render(canvas(40, 30, GradientKind::none, {stop(1, 0, 0, 1, 0)}), 1);
  for (int row = 0; row < 30; ++row) {
    for (int column = 0; column < 40; ++column)
      ASSERT_EQ(none.pixel(column, row), 0u);
  }

  const auto solid = DesignRenderer::render(
      canvas(40, 30, GradientKind::solid, {stop(0, 1, 0, 1, 0.9), stop(1, 0, 0, 1, 0)}), 1);
  for (const auto& [column, row] : {std::pair{0, 0}, {39, 29}, {20, 15}, {39, 0}})
    expectNear(pixelAt(solid, column, row), green, 0);

  const auto empty = DesignRenderer::render(canvas(4, 4, GradientKind::solid, {}), 1);
  expectNear(pixelAt(empty, 2, 2), {255, 0, 0, 0}, 0);
}

// 300 × 400 points: the gradient line runs through the centre with half-length
// hypot(300, 400) / 2 = 250, so at 0° it spans x = -100 … 400 and at 90° y = -50 … 450.
TEST(DesignRendererBackground, LinearRunsLeftToRightAtZeroAndBottomToTopAtNinety) {
  auto spec = canvas(300, 400, GradientKind::linear, {stop(1, 0, 0, 1, 0), stop(0, 0, 1, 1, 1)});
  spec.gradient.angleDegrees = 0;
  const auto across = DesignRenderer::render(spec, 1);
  // Left column centre x = 0.5: t = 100.5 / 500 = 0.201; right column x = 299.5: t = 0.799.
  for (int row : {0, 200, 399}) {
    expectNear(pixelAt(across, 0, row), {255, 204, 0, 51});
    expectNear(pixelAt(across, 299, row), {255, 51, 0, 204});
  }

  spec.gradient.angleDegrees = 90;
  const auto upwards = DesignRenderer::render(spec, 1);
  // Bottom row centre y = 0.5: t = 50.5 / 500 = 0.101; top row y = 399.5: t = 0.899.
  for (int column : {0, 150, 299}) {
    expectNear(canvasPixel(upwards, column, 0), {255, 229, 0, 26});
    expectNear(canvasPixel(upwards, column, 399), {255, 26, 0, 229});
  }
}

TEST(DesignRendererBackground, RadialRunsFromTheCentreToTheRimAndStaysBeyond) {
  // 200 × 100 points, centre (100, 50), radius 0.4 × min(200, 100) = 40.
  auto spec = canvas(200, 100, GradientKind::radial, {stop(1, 0, 0, 1, 0), stop(0, 0, 1, 1, 1)});
  spec.gradient.radialRadius = 0.4;
  const auto image = DesignRenderer::render(spec, 1);
  // Pixel centre (100.5, 50.5) is 0.71 from the centre: t = 0.018.
  expectNear(canvasPixel(image, 100, 50), {255, 250, 0, 5});
  // (120.5, 50.5): distance 20.51, t = 0.513.
  expectNear(canvasPixel(image, 120, 50), {255, 124, 0, 131});
  expectNear(canvasPixel(image, 150, 50), blue);
  expectNear(canvasPixel(image, 0, 0), blue);

  // The centre is in unit coordinates with y up: (0.25, 0.75) is in the upper left.
  spec.gradient.radialCenter = {0.25, 0.75};
  const auto moved = DesignRenderer::render(spec, 1);
  expectNear(canvasPixel(moved, 50, 75), {255, 255, 0, 0}, 6);
  expectNear(canvasPixel(moved, 150, 25), blue);
}

// 100 × 100 pixels, centre (50, 50); angles are measured on rows as stored (row 0 at the top),
// so a quarter turn points down the picture.
TEST(DesignRendererBackground, AngularIsComputedPerPixelFromTheStartAngle) {
  auto spec = canvas(100, 100, GradientKind::angular,
                     {stop(0, 1, 0, 1, 0.5), stop(1, 0, 0, 1, -0.5), stop(0, 0, 1, 1, 1.5)});
  const auto image = DesignRenderer::render(spec, 1);
  expectNear(pixelAt(image, 90, 50), red, 0);                // 0: t = 0
  expectNear(pixelAt(image, 50, 90), {255, 128, 128, 0}, 0); // π/2: t = 0.25, half way red → green
  expectNear(pixelAt(image, 10, 50), green, 0);              // π: t = 0.5
  expectNear(pixelAt(image, 50, 10), {255, 0, 128, 128}, 0); // 3π/2: t = 0.75

  spec.gradient.angleDegrees = 90;
  const auto turned = DesignRenderer::render(spec, 1);
  expectNear(pixelAt(turned, 90, 50), {255, 128, 128, 0}, 0);
  expectNear(pixelAt(turned, 50, 90), green, 0);

  // One stop fills, premultiplied; none fills black.
  const auto single =
      DesignRenderer::render(canvas(8, 8, GradientKind::angular, {stop(1, 0.5, 0, 0.5, 0.3)}), 1);
  expectNear(pixelAt(single, 3, 5), {128, 128, 64, 0}, 0);
  const auto black = DesignRenderer::render(canvas(8, 8, GradientKind::angular, {}), 1);
  expectNear(pixelAt(black, 3, 5), {255, 0, 0, 0}, 0);
}

TEST_F(StickerDrawing, EqualZIndexKeepsDocumentOrderAndLowerZIndexIsBelow) {
  auto spec = whiteCanvas();
  spec.stickers = {sticker("A", redSquare), sticker("B", blueSquare)};
  expectNear(canvasPixel(DesignRenderer::render(spec, 1), 50, 50), blue, 0);

  spec.stickers[0].zIndex = 1; // red now above blue, although earlier in the document
  expectNear(canvasPixel(DesignRenderer::render(spec, 1), 50, 50), red, 0);

  // Hidden stickers are not drawn.
  expectNear(canvasPixel(DesignRenderer::render(spec, 1, {"A"}), 50, 50), blue, 0);
  expectNear(canvasPixel(DesignRenderer::render(spec, 1, {"A", "B"}), 50, 50), white, 0);
}

TEST_F(StickerDrawing, OpacityIsClampedToZeroThroughOne) {
  auto spec = whiteCanvas();
  spec.stickers = {sticker("A", redSquare)};
  spec.stickers[0].opacity = 1.7;
  expectNear(canvasPixel(DesignRenderer::render(spec, 1), 50, 50), red, 0);
  spec.stickers[0].opacity = -0.2;
  expectNear(canvasPixel(DesignRenderer::render(spec, 1), 50, 50), white, 0);
  spec.stickers[0].opacity = 0.5;
  expectNear(canvasPixel(DesignRenderer::render(spec, 1), 50, 50), {255, 255, 128, 128}, 1);
}

TEST_F(StickerDrawing, PlacementMirroringRotationAndScale) {
  auto spec = whiteCanvas();
  // Positions are centres with y up: (20, 80) is near the top-left corner.
  spec.stickers = {sticker("A", redSquare, 20, 80)};
  auto image = DesignRenderer::render(spec, 1);
  expectNear(pixelAt(image, 20, 20), red, 0);
  expectNear(pixelAt(image, 20, 80), white, 0);

  // Red left half, green right half, spanning x 40…60.
  spec.stickers = {sticker("A", redGreen)};
  image = DesignRenderer::render(spec, 1);
  expectNear(canvasPixel(image, 45, 50), red, 0);
  expectNear(canvasPixel(image, 55, 50), green, 0);
  expectNear(canvasPixel(image, 38, 50), white, 0);

  spec.stickers[0].mirroredHorizontally = true;
  image = DesignRenderer::render(spec, 1);
  expectNear(canvasPixel(image, 45, 50), green, 0);
  expectNear(canvasPixel(image, 55, 50), red, 0);

  // A quarter turn counter-clockwise brings the left half to the bottom.
  spec.stickers[0].mirroredHorizontally = false;
  spec.stickers[0].rotationRadians = std::numbers::pi / 2;
  image = DesignRenderer::render(spec, 1);
  expectNear(canvasPixel(image, 50, 45), red, 0);
  expectNear(canvasPixel(image, 50, 55), green, 0);
  expectNear(canvasPixel(image, 42, 50), white, 0);

  // Sticker scale and render scale multiply: 10 points × 3 = 30 points, × 2 = 60 pixels.
  spec.stickers = {sticker("A", redSquare)};
  spec.stickers[0].scale = 3;
  image = DesignRenderer::render(spec, 2);
  expectNear(pixelAt(image, 71, 100), red, 0);
  expectNear(pixelAt(image, 128, 128), red, 0);
  expectNear(pixelAt(image, 68, 100), white, 0);

  // A sticker of scale 0 draws nothing and is not an error.
  spec.stickers[0].scale = 0;
  expectNear(canvasPixel(DesignRenderer::render(spec, 1), 50, 50), white, 0);
}

TEST_F(StickerDrawing, PicturesOfEveryKindLoad) {
  // A PNG under a misleading extension is still a PNG.
  fs::copy_file(redSquare, folder.path() / "red.jpg");
  // SVG: its own size in points, drawn at the resolution it appears at.
  std::ofstream(folder.path() / "bar.SVG")
      << "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'>"
         "<rect width='40' height='20' fill='#00ff00'/></svg>";
  // A format for gdk-pixbuf.
  GdkPixbuf* bmp = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 10, 10);
  gdk_pixbuf_fill(bmp, 0x0000FFFFu);
  ASSERT_TRUE(gdk_pixbuf_save(bmp, (folder.path() / "blue.bmp").c_str(), "bmp", nullptr, nullptr));
  g_object_unref(bmp);

  const auto svg = DesignRenderer::loadStickerImage(
      {"s", "Bar", StickerSource::file(FileURL::fromPath(folder.path() / "bar.SVG"))});
  ASSERT_TRUE(svg.has_value());
  EXPECT_EQ(svg->width(), 40);
  EXPECT_EQ(svg->height(), 20);

  auto spec = whiteCanvas();
  spec.stickers = {sticker("A", folder.path() / "bar.SVG"),
                   sticker("B", folder.path() / "red.jpg", 20, 20),
                   sticker("C", folder.path() / "blue.bmp", 80, 80)};
  spec.stickers[0].scale = 2; // 80 × 40 points: x 10…90, y 30…70
  const auto image = DesignRenderer::render(spec, 1);
  expectNear(canvasPixel(image, 12, 50), green, 0);
  expectNear(canvasPixel(image, 50, 32), green, 0);
  expectNear(canvasPixel(image, 50, 72), white, 0);
  expectNear(canvasPixel(image, 20, 20), red, 0);
  expectNear(canvasPixel(image, 80, 80), blue, 0);
}

TEST_F(StickerDrawing, MissingOrUnusablePicturesAreUnsupportedAssets) {
  // A PNG header announcing 30000 × 30000 pixels is refused before any pixel memory is taken.
  std::string header("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x75\x30\0\0\x75\x30\x08\x06\0\0\0", 29);
  std::ofstream(folder.path() / "huge.png", std::ios::binary) << header << std::string(8, '\0');
  std::ofstream(folder.path() / "text.png") << "not a picture";
  ASSERT_EQ(::mkfifo((folder.path() / "pipe.png").c_str(), 0600), 0);

  std::vector<StickerItem> stickers = {
      sticker("missing", folder.path() / "missing.png"),
      sticker("folder", folder.path()),
      sticker("fifo", folder.path() / "pipe.png"),
      sticker("huge", folder.path() / "huge.png"),
      sticker("garbage", folder.path() / "text.png"),
  };
  stickers.push_back(sticker("remote", redSquare));
  stickers.back().asset.source = StickerSource::file(*FileURL::make("https://example.com/red.png"));
  stickers.push_back(sticker("symbol", redSquare));
  stickers.back().asset.source = StickerSource::sfSymbol("no.such.symbol");
  stickers.push_back(sticker("text", redSquare));
  DesignerTextSpec enormous;
  enormous.text = "x";
  enormous.fontSize = 1e6;
  stickers.back().asset.source = StickerSource::text(enormous);

  for (const auto& item : stickers) {
    auto spec = whiteCanvas();
    spec.stickers = {sticker("fine", redSquare), item};
    try {
      DesignRenderer::render(spec, 1);
      ADD_FAILURE() << item.id << " rendered";
    } catch (const DesignRenderError& error) {
      EXPECT_EQ(error.kind(), DesignRenderError::Code::unsupportedStickerAsset) << item.id;
      EXPECT_STREQ(error.what(), "Sticker asset format is not supported.");
    }
    // A hidden sticker is never loaded.
    EXPECT_NO_THROW(DesignRenderer::render(spec, 1, {item.id})) << item.id;
  }
}

TEST(DesignRendererPNG, WritesTheRenderAsPNG) {
  TemporaryFolder folder("Halyard_DesignTest_");
  const auto target = folder.path() / "background.png";
  DesignRenderer::renderPNG(canvas(30, 20, GradientKind::solid, {stop(0, 0, 1, 1, 0)}), 2, target);
  cairo_surface_t* decoded = cairo_image_surface_create_from_png(target.c_str());
  ASSERT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
  const DesignImage image(decoded, 30, 20);
  EXPECT_EQ(image.pixelWidth(), 60);
  EXPECT_EQ(image.pixelHeight(), 40);
  expectNear(pixelAt(image, 59, 39), blue, 0);

  // Translucent pixels are stored un-premultiplied: cairo's own reader gets back what was drawn.
  const auto translucent = folder.path() / "translucent.png";
  DesignRenderer::renderPNG(canvas(4, 4, GradientKind::solid, {stop(1, 0.5, 0, 0.5, 0)}), 1,
                            translucent);
  cairo_surface_t* readBack = cairo_image_surface_create_from_png(translucent.c_str());
  ASSERT_EQ(cairo_surface_status(readBack), CAIRO_STATUS_SUCCESS);
  expectNear(pixelAt(DesignImage(readBack, 4, 4), 2, 2), {128, 128, 64, 0}, 1);

  EXPECT_THROW(DesignRenderer::renderPNG(canvas(30, 20, GradientKind::none, {}), 1,
                                         folder.path() / "missing" / "background.png"),
               Error);
  EXPECT_FALSE(fs::exists(folder.path() / "missing"));
}
