#include <gtest/gtest.h>

#include <cmath>

#include "core/DMG/DMGFinderLayout.hpp"
#include "core/DMG/DMGWindowArtwork.hpp"

using namespace halyard;

namespace {

struct GeometryCase {
  FinderSize window;
  double scale, iconSize, arrowSide, pillOffset, labelOffset, exportOffset;
  FinderPoint app, folder, arrow;
};

} // namespace

TEST(DMGFinderLayout, GeometryScalesFromTheReferenceDesignDownToItsMinimums) {
  const GeometryCase cases[] = {
      // The reference design.
      {{1600, 1000}, 1, 144, 88, 86, 92, 53, {550, 460}, {1050, 460}, {800, 464}},
      {{800, 500}, 0.5, 72, 44, 50, 46, 26.5, {275, 230}, {525, 230}, {400, 234}},
      // The smaller ratio counts; halves of odd sizes are floored.
      {{1281, 1000},
       0.800625,
       115.29,
       70.455,
       71.645,
       73.6575,
       42.433125,
       {640 - 200.15625, 467.975},
       {640 + 200.15625, 467.975},
       {640, 471.975}},
      // A tiny window: the scale stops at 0.1, the icon at 72 and the arrow at 40.
      {{100, 100}, 0.1, 72, 40, 50, 9.2, 5.3, {25, 46}, {75, 46}, {50, 50}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.window.width << " x " << c.window.height);
    EXPECT_DOUBLE_EQ(halyardFinderScale(c.window), c.scale);
    EXPECT_DOUBLE_EQ(halyardFinderIconSize(c.window), c.iconSize);
    EXPECT_DOUBLE_EQ(halyardFinderArrowSide(c.window), c.arrowSide);
    EXPECT_DOUBLE_EQ(halyardFinderLabelPillOffsetY(c.window), c.pillOffset);
    EXPECT_DOUBLE_EQ(halyardFinderLabelOffsetY(c.window), c.labelOffset);
    EXPECT_DOUBLE_EQ(halyardFinderItemExportYOffset(c.window), c.exportOffset);
    const auto layout = halyardFinderLayout(c.window, false);
    EXPECT_DOUBLE_EQ(layout.appPos.x, c.app.x);
    EXPECT_DOUBLE_EQ(layout.appPos.y, c.app.y);
    EXPECT_DOUBLE_EQ(layout.folderPos.x, c.folder.x);
    EXPECT_DOUBLE_EQ(layout.folderPos.y, c.folder.y);
    EXPECT_DOUBLE_EQ(layout.arrowPos.x, c.arrow.x);
    EXPECT_DOUBLE_EQ(layout.arrowPos.y, c.arrow.y);

    const auto reversed = halyardFinderLayout(c.window, true);
    EXPECT_DOUBLE_EQ(reversed.appPos.x, c.folder.x);
    EXPECT_DOUBLE_EQ(reversed.folderPos.x, c.app.x);
    EXPECT_DOUBLE_EQ(reversed.arrowPos.x, c.arrow.x);
    EXPECT_DOUBLE_EQ(reversed.appPos.y, c.app.y);
  }
  EXPECT_DOUBLE_EQ(halyardFinderScale({std::nan(""), 1000}), 0.1);
}

TEST(DMGFinderLayout, TheBuildMovesIconsAndArrowDownAndHangsThePillsBelowThem) {
  DMGBuildRequest request;
  request.installerWindowSize = {800, 500};
  request.isReversed = true;
  request.exportLabelPillEnabled = true;
  request.exportLabelPillColor = {0.2, 0.3, 0.4, 0.5};
  const auto artwork = DMGWindowArtwork::make(request, "Demo");
  EXPECT_DOUBLE_EQ(artwork.appIcon.x, 525);
  EXPECT_DOUBLE_EQ(artwork.appIcon.y, 256.5);
  EXPECT_DOUBLE_EQ(artwork.folderIcon.x, 275);
  EXPECT_DOUBLE_EQ(artwork.arrowCentre.y, 260.5);
  EXPECT_DOUBLE_EQ(artwork.arrowSide, 44);
  ASSERT_EQ(artwork.labelPads.size(), 2u);
  EXPECT_DOUBLE_EQ(artwork.labelPads[0].center.x, 525);
  EXPECT_DOUBLE_EQ(artwork.labelPads[0].center.y, 306.5);
  EXPECT_DOUBLE_EQ(artwork.labelPads[1].center.x, 275);
  EXPECT_EQ(artwork.labelPads[1].size.width, DMGArtwork::labelPadSize("Applications").width);
  EXPECT_EQ(artwork.labelPads[1].color, request.exportLabelPillColor);

  request.exportLabelPillEnabled = false;
  EXPECT_TRUE(DMGWindowArtwork::make(request, "Demo").labelPads.empty());
}
