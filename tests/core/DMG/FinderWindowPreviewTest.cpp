#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>
#include <filesystem>

#include "core/DMG/AppIconFile.hpp"
#include "core/DMG/DMGTemplateBackground.hpp"
#include "core/DMG/DMGWindowArtwork.hpp"
#include "core/DMG/FinderWindowScene.hpp"
#include "core/DMG/InstallerWindowPreset.hpp"
#include "core/DMG/VolumeWindow.hpp"
#include "core/Design/DesignImageEffects.hpp"
#include "core/Design/DesignTestSupport.hpp"
#include "core/Design/StickerPictureLoader.hpp"
#include "core/Finder/DSStoreWriter.hpp"
#include "core/Inspection/DMGInspectionRules.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
using designtest::Pixel;
using designtest::pixelAt;
namespace fs = std::filesystem;

namespace {

std::string bigEndian(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

// A square PNG: an orange rounded tile (255, 128, 0) with a white dot in its middle.
std::string iconPNG(int side) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
  cairo_t* context = cairo_create(surface);
  cairo_rectangle(context, side * 0.1, side * 0.1, side * 0.8, side * 0.8);
  cairo_set_source_rgb(context, 1, 128 / 255.0, 0);
  cairo_fill(context);
  cairo_arc(context, side / 2.0, side / 2.0, side * 0.1, 0, 6.3);
  cairo_set_source_rgb(context, 1, 1, 1);
  cairo_fill(context);
  cairo_destroy(context);
  std::string png;
  cairo_surface_write_to_png_stream(
      surface,
      [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  cairo_surface_destroy(surface);
  return png;
}

// An icon family file: "icns", its length, then (type, length with head, data) entries.
std::string icns(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string body;
  for (const auto& [type, data] : entries)
    body += type + bigEndian(static_cast<std::uint32_t>(data.size() + 8)) + data;
  return "icns" + bigEndian(static_cast<std::uint32_t>(body.size() + 8)) + body;
}

// An app bundle whose Info.plist names AppIcon and whose AppIcon.icns holds the test icon.
fs::path appWithIcon(const fs::path& folder, const std::string& name) {
  const fs::path app = folder / (name + ".app");
  fs::create_directories(app / "Contents" / "Resources");
  AtomicFile::writeAll(app / "Contents" / "Info.plist",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                       "<key>CFBundleIconFile</key><string>AppIcon</string></dict></plist>\n");
  AtomicFile::writeAll(app / "Contents" / "Resources" / "AppIcon.icns",
                       icns({{"ic09", iconPNG(512)}, {"ic10", iconPNG(1024)}}));
  return app;
}

DesignImage decoded(const std::string& png) {
  auto image = StickerPictureLoader::decode(png, "png");
  if (!image) throw std::runtime_error("not a PNG");
  return *image;
}

DMGBuildRequest standardRequest() {
  DMGBuildRequest request;
  request.dmgName = "MyApp";
  request.arrowSymbol = "arrow.right";
  const auto size = windowSize(InstallerWindowPreset::standard);
  request.installerWindowSize = {size.width, size.height};
  request.exportLabelPillEnabled = true;
  request.exportLabelPillColor = CodableColor::white();
  request.exportLabelTextColor = CodableColor::black();
  return request;
}

// The preview of a release, drawn the way `start --dry-run --preview` draws it.
std::string releasePreview(const DMGBuildRequest& request, const fs::path& app) {
  auto background = DMGWindowArtwork::make(request, app.stem().string()).backgroundPNG(request);
  const auto png = FinderWindowScene::forRelease(request, app, std::move(background)).png();
  if (!png) throw std::runtime_error("no preview");
  return *png;
}

// How many pixels of two equally large pictures differ by more than `tolerance` in a channel.
long long differingPixels(const DesignImage& a, const DesignImage& b, int tolerance) {
  long long count = 0;
  for (int row = 0; row < a.pixelHeight(); ++row)
    for (int column = 0; column < a.pixelWidth(); ++column) {
      const Pixel p = pixelAt(a, column, row);
      const Pixel q = pixelAt(b, column, row);
      if (std::abs(p.r - q.r) > tolerance || std::abs(p.g - q.g) > tolerance ||
          std::abs(p.b - q.b) > tolerance || std::abs(p.a - q.a) > tolerance)
        ++count;
    }
  return count;
}

// Counts the pixels of the rectangle (in pixels) whose red, green and blue are all below
// `darkest`, and those all above `lightest`.
std::pair<int, int> darkAndLight(const DesignImage& image, int left, int top, int width, int height,
                                 int darkest = 100, int lightest = 230) {
  int dark = 0;
  int light = 0;
  for (int row = top; row < top + height; ++row)
    for (int column = left; column < left + width; ++column) {
      const Pixel p = pixelAt(image, column, row);
      if (p.r < darkest && p.g < darkest && p.b < darkest) ++dark;
      if (p.r > lightest && p.g > lightest && p.b > lightest) ++light;
    }
  return {dark, light};
}

} // namespace

TEST(AppIconFile, TakesTheWidestPNGAndStopsAtDamage) {
  const std::string small = iconPNG(16);
  const std::string large = iconPNG(64);
  struct Case {
    const char* name;
    std::string file;
    std::optional<std::string> expected;
  };
  std::string cut = icns({{"ic07", small}, {"ic10", large}});
  cut.resize(cut.size() - 10); // the second entry now runs past the end
  std::string overlong = icns({{"ic07", small}});
  overlong.replace(12, 4, bigEndian(0xFFFFFFF0)); // an entry claiming 4 GB
  const Case cases[] = {
      {"widest wins, in any order", icns({{"ic10", large}, {"TOC ", "x"}, {"ic07", small}}), large},
      {"no PNG among the entries", icns({{"is32", std::string(100, 'x')}}), std::nullopt},
      {"an entry cut short", cut, small},
      {"an entry longer than the file", overlong, std::nullopt},
      {"not an icon family", "\x89PNG\r\n\x1A\n" + large, std::nullopt},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(AppIconFile::largestPNG(test.file), test.expected);
  }
}

// The window of the standard preset as the dry run draws it, against pictures kept in
// tests/data/preview (each looked at when it was made), at a quarter of its 3,200 × 2,056 pixels
// so that they stay small. After an intended change:
// BOSUN_REGENERATE_GOLDEN=1 build/tests/test_core_DMG --gtest_filter='FinderWindowPreview.Golden*'
TEST(FinderWindowPreview, GoldenWindowsOfTheStandardPreset) {
  const bool regenerate = std::getenv("BOSUN_REGENERATE_GOLDEN") != nullptr;
  TemporaryFolder folder("Halyard_Test_");
  DMGBuildRequest templated = standardRequest();
  const auto prepared = DMGTemplateBackground::prepare(
      fs::path(TEST_DATA_DIR) / "design" / "showcase.hyd", folder.path() / "template");
  templated = templated.styled(prepared.designTemplate, prepared.imageURL);
  DMGBuildRequest reversed = standardRequest();
  reversed.isReversed = true;
  struct Case {
    const char* name;
    DMGBuildRequest request;
    std::string appName;
  };
  const Case cases[] = {
      {"standard", standardRequest(), "MyApp"},
      {"standard-template", templated, "MyApp"},
      {"standard-reversed", reversed, "MyApp"},
      {"standard-long-name", standardRequest(),
       "My Remarkably Thorough Application for Cataloguing Every Seashell Ever Found"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const DesignImage full =
        decoded(releasePreview(test.request, appWithIcon(folder.path(), test.appName)));
    // Twice the 1,600 × 1,000 point window, with its 28-point title bar.
    ASSERT_EQ(full.pixelWidth(), 3200);
    ASSERT_EQ(full.pixelHeight(), 2056);
    const auto made = full.resampled(800, 514);
    ASSERT_TRUE(made);
    const fs::path path = fs::path(TEST_DATA_DIR) / "preview" / (std::string(test.name) + ".png");
    if (regenerate) AtomicFile::writeAll(path, DesignImageEffects::pngData(*made));
    const auto kept = StickerPictureLoader::load(path);
    ASSERT_TRUE(kept) << path;
    ASSERT_EQ(kept->pixelWidth(), 800);
    ASSERT_EQ(kept->pixelHeight(), 514);
    // Glyph and anti-aliasing differences pass; a moved icon, label or pill does not.
    EXPECT_LE(differingPixels(*made, *kept, 24), 100);
  }
}

// Samples of the standard window: the app's icon where the layout puts it, the label's text on
// its pill, the title in the bar, and the Applications folder.
TEST(FinderWindowPreview, IconsLabelsAndTitleSitWhereTheLayoutPutsThem) {
  TemporaryFolder folder("Halyard_Test_");
  const DMGBuildRequest request = standardRequest();
  const DesignImage window = decoded(releasePreview(request, appWithIcon(folder.path(), "MyApp")));
  const DMGWindowArtwork artwork = DMGWindowArtwork::make(request, "MyApp");
  const auto pixel = [&](double x, double y) {
    return pixelAt(window, static_cast<int>(2 * x), static_cast<int>(2 * (y + 28)));
  };
  // The icon (144 points) is centred on the app's place: orange a quarter of the icon away
  // from the centre, white in the middle.
  const auto [ax, ay] = artwork.appIcon;
  for (const auto& [x, y] : {std::pair{ax - 36, ay - 36}, {ax + 36, ay + 36}}) {
    const Pixel orange = pixel(x, y);
    EXPECT_TRUE(orange.r > 240 && orange.g > 110 && orange.g < 145 && orange.b < 20)
        << orange.r << " " << orange.g << " " << orange.b;
  }
  EXPECT_GT(pixel(ax, ay).b, 240);
  // Blue folder on the right, above the middle of its icon.
  const Pixel blue = pixel(artwork.folderIcon.x, artwork.folderIcon.y + 10);
  EXPECT_GT(blue.b, blue.r + 60);
  // The label "MyApp" in black on its white pill (86 points below the icon's centre).
  const DMGLabelPad& pad = artwork.labelPads.front();
  const auto [dark, light] =
      darkAndLight(window, static_cast<int>(2 * (pad.center.x - pad.size.width / 2 + 4)),
                   static_cast<int>(2 * (pad.center.y + 28 - 8)),
                   static_cast<int>(2 * (pad.size.width - 8)), 32);
  EXPECT_GT(dark, 60);
  EXPECT_GT(light, 200);
  // The title "MyApp" in the middle of the bar, and nothing dark at its ends.
  EXPECT_GT(darkAndLight(window, 1500, 10, 200, 36, 140).first, 40);
  EXPECT_EQ(darkAndLight(window, 2900, 10, 200, 36, 140).first, 0);
  // The three buttons, red first.
  const Pixel close = pixelAt(window, 40, 28);
  EXPECT_TRUE(close.r > 230 && close.g < 120) << close.r << " " << close.g;
}
