#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/DMG/DMGBuildRequest.hpp"
#include "core/DMG/DMGTemplateBackground.hpp"
#include "core/DMG/FinderLabelAppearance.hpp"
#include "core/Design/DesignTestSupport.hpp"
#include "core/Design/StickerPictureLoader.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "support/NoteCapture.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

std::string fileSticker(int number, const std::string& url) {
  return R"({"id": "00000000-0000-4000-8000-00000000000)" + std::to_string(number) +
         R"(", "asset": {"id": "p", "displayName": "P", "source": {"kind": "file", "value": )"
         R"({"relative": ")" +
         url + R"("}}}, "position": [10, 10], "scale": 1, "rotationRadians": 0})";
}

// A 40 × 30 canvas filled with solid green, with the given stickers and label settings.
std::string templateText(const std::string& stickers, const std::string& labels = "") {
  return R"({"canvas": {"size": [40, 30], "gradient": {"kind": "solid", "stops": [)"
         R"({"color": {"r": 0, "g": 1, "b": 0, "a": 1}, "location": 0, "point": {"x": 0, "y": 0}}],)"
         R"( "angleDegrees": 0, "radialCenter": [0, 0], "radialRadius": 0}, "stickers": [)" +
         stickers + "]" + labels + "}}";
}

} // namespace

TEST(DMGTemplateBackground, MissingMediaNameEveryFileAndWriteNothing) {
  designtest::CacheFolderOverride cache;
  TemporaryFolder folder("Halyard_TemplateTest_");
  const fs::path designFile = folder.path() / "Missing.hyd";
  AtomicFile::writeAll(designFile,
                       templateText(fileSticker(1, "file:///nonexistent/media/Logo.png") + ", " +
                                    fileSticker(2, "file:///nonexistent/media/Back%20Drop.jpg")));
  try {
    DMGTemplateBackground::prepare(designFile, folder.path() / "out");
    ADD_FAILURE() << "no error";
  } catch (const DMGTemplateBackground::Failure& failure) {
    EXPECT_EQ(failure.kind(), DMGTemplateBackground::Failure::Kind::missingMedia);
    EXPECT_STREQ(failure.what(), "The template references media that could not be found: "
                                 "Logo.png, Back Drop.jpg");
    EXPECT_EQ(failure.urls().size(), 2u);
  }
  EXPECT_FALSE(fs::exists(folder.path() / "out"));
}

TEST(DMGTemplateBackground, RendersTheCanvasAndStylesTheRequestWithItsLabels) {
  designtest::CacheFolderOverride cache;
  TemporaryFolder folder("Halyard_TemplateTest_");
  const fs::path picture = folder.path() / "dot.png";
  designtest::writeTwoColourPNG(picture, 4, 4, 2, 1, 0, 0, 1, 0, 0);
  const fs::path designFile = folder.path() / "Design.hyd";
  AtomicFile::writeAll(
      designFile,
      templateText(fileSticker(1, FileURL::fromPath(picture).absoluteString()),
                   R"(, "exportLabelPillEnabled": false,)"
                   R"( "exportLabelPillColor": {"r": 0.1, "g": 0.2, "b": 0.3, "a": 0.4},)"
                   R"( "exportLabelTextColor": {"r": 0.9, "g": 0.8, "b": 0.7, "a": 1})"));
  bosun::testing::NoteCapture catcher;
  const auto prepared = DMGTemplateBackground::prepare(designFile, folder.path() / "a" / "b");

  EXPECT_EQ(prepared.imageURL, folder.path() / "a" / "b" / "Halyard_Template_Background.png");
  const auto image = StickerPictureLoader::load(prepared.imageURL);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 40);
  EXPECT_EQ(image->pixelHeight(), 30);
  EXPECT_EQ(image->pixel(39, 0), 0xFF00FF00u);  // the canvas
  EXPECT_EQ(image->pixel(10, 19), 0xFFFF0000u); // the sticker around (10, 10), y up
  EXPECT_EQ(catcher.notes,
            std::vector<std::string>{"Template background rendered from Design.hyd"});

  DMGBuildRequest request;
  request.dmgName = "Demo";
  request.arrowSymbol = "arrow.left";
  request.isReversed = true;
  request.installerWindowSize = {1120, 700};
  request.exportLabelPillEnabled = true;
  request.exportLabelPillColor = CodableColor::white();
  request.compression = DMGCompressionFormat::lzma;
  const DMGBuildRequest styled = request.styled(prepared.designTemplate, prepared.imageURL);
  EXPECT_EQ(styled.backgroundImageURL, prepared.imageURL);
  EXPECT_FALSE(styled.exportLabelPillEnabled);
  EXPECT_EQ(styled.exportLabelPillColor, (CodableColor{0.1, 0.2, 0.3, 0.4}));
  EXPECT_EQ(styled.exportLabelTextColor, (CodableColor{0.9, 0.8, 0.7, 1}));
  EXPECT_EQ(styled.dmgName, "Demo");
  EXPECT_EQ(styled.arrowSymbol, "arrow.left");
  EXPECT_TRUE(styled.isReversed);
  EXPECT_EQ(styled.installerWindowSize.width, 1120);
  EXPECT_EQ(styled.compression, DMGCompressionFormat::lzma);
}

TEST(FinderLabelAppearance, BlackLabelsNeedALightEnoughPillOrBackground) {
  EXPECT_DOUBLE_EQ(FinderLabelAppearance::luminance(CodableColor::white()), 1.0);
  EXPECT_NEAR(FinderLabelAppearance::luminance({0.5, 0.5, 0.5, 1}), 0.21404, 1e-5);
  EXPECT_DOUBLE_EQ(FinderLabelAppearance::luminance({0.03, 2, -1, 1}),
                   0.2126 * 0.03 / 12.92 + 0.7152);
  struct Case {
    double brightness;
    bool pills;
    CodableColor pill;
    bool readable;
  };
  const Case cases[] = {
      // The default dark gradient alone: 0.00714 → contrast 1.14.
      {FinderLabelAppearance::defaultBackgroundBrightness, false, CodableColor::white(), false},
      // A white pill fully covers it.
      {FinderLabelAppearance::defaultBackgroundBrightness, true, CodableColor::white(), true},
      // Pills disabled: the pill colour does not count.
      {0.2, false, CodableColor::white(), false},
      // Contrast 3 needs a luminance of 0.1: grey 0.35 (0.1005) just makes it, 0.34 does not.
      {0.35, false, {}, true},
      {0.34, false, {}, false},
      // A half-transparent white pill over black: 0.5 luminance.
      {0, true, {1, 1, 1, 0.5}, true},
      {0, true, {1, 1, 1, 0.05}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.brightness << " pills " << c.pills);
    EXPECT_EQ(FinderLabelAppearance::isTextReadable(c.brightness, c.pills, c.pill), c.readable);
  }
}
