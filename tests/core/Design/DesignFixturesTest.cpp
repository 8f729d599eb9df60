#include <gtest/gtest.h>

#include <cstdlib>

#include "DesignTestSupport.hpp"
#include "core/Design/DesignRenderer.hpp"
#include "core/Design/DesignTemplate.hpp"

using namespace halyard;
namespace fs = std::filesystem;

// Each template under tests/data/design renders like the PNG kept beside it (made with
// hyd-render and looked at). Small differences of anti-aliasing and glyph rasterisation are
// allowed; a changed colour, position, order or size is not. To refresh a picture after an
// intended change: build/hyd-render tests/data/design/X.hyd tests/data/design/X.png
TEST(DesignFixtures, RenderLikeTheirPictures) {
  designtest::CacheFolderOverride cache;
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(TEST_DATA_DIR) / "design")) {
    if (entry.path().extension() != ".hyd") continue;
    auto expectedPath = entry.path();
    expectedPath.replace_extension(".png");
    SCOPED_TRACE(entry.path().filename().string());
    cairo_surface_t* decoded = cairo_image_surface_create_from_png(expectedPath.c_str());
    ASSERT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
    const DesignImage expected(decoded, 0, 0);

    const auto design = DesignTemplate::load(entry.path()).restored();
    ASSERT_TRUE(design.missingMedia().empty());
    const auto actual = DesignRenderer::render(design.canvas, 1.0);
    ASSERT_EQ(actual.pixelWidth(), expected.pixelWidth());
    ASSERT_EQ(actual.pixelHeight(), expected.pixelHeight());

    long long differing = 0;
    for (int row = 0; row < actual.pixelHeight(); ++row) {
      for (int column = 0; column < actual.pixelWidth(); ++column) {
        const uint32_t a = actual.pixel(column, row);
        const uint32_t b = expected.pixel(column, row);
        for (int shift = 0; shift < 32; shift += 8) {
          if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                       static_cast<int>((b >> shift) & 0xFF)) > 24) {
            ++differing;
            break;
          }
        }
      }
    }
    const long long total = static_cast<long long>(actual.pixelWidth()) * actual.pixelHeight();
    EXPECT_LE(differing * 1000, total) << differing << " of " << total << " pixels differ";
    ++checked;
  }
  EXPECT_GE(checked, 2);
}
