#include "core/DMG/DMGWindowArtwork.hpp"

#include <algorithm>
#include <cmath>

#include "core/Design/StickerPictureLoader.hpp"

namespace halyard {

DMGWindowArtwork DMGWindowArtwork::make(const DMGBuildRequest& request,
                                        std::string_view appDisplayName) {
  const FinderSize window = request.installerWindowSize;
  const HalyardFinderLayout layout = halyardFinderLayout(window, request.isReversed);
  const double dy = halyardFinderItemExportYOffset(window);
  DMGWindowArtwork artwork;
  artwork.windowSize = window;
  artwork.appIcon = {layout.appPos.x, layout.appPos.y + dy};
  artwork.folderIcon = {layout.folderPos.x, layout.folderPos.y + dy};
  artwork.arrowCentre = {layout.arrowPos.x, layout.arrowPos.y + dy};
  artwork.arrowSide = halyardFinderArrowSide(window);
  if (request.exportLabelPillEnabled) {
    const double ly = halyardFinderLabelPillOffsetY(window);
    artwork.labelPads = {
        {{artwork.appIcon.x, artwork.appIcon.y + ly},
         DMGArtwork::labelPadSize(appDisplayName),
         request.exportLabelPillColor},
        {{artwork.folderIcon.x, artwork.folderIcon.y + ly},
         DMGArtwork::labelPadSize("Applications"),
         request.exportLabelPillColor},
    };
  }
  return artwork;
}

std::optional<std::string> DMGWindowArtwork::backgroundPNG(const DMGBuildRequest& request) const {
  std::optional<DesignImage> picture;
  if (request.backgroundImageURL) picture = StickerPictureLoader::load(*request.backgroundImageURL);
  const DMGArrowTone tone = DMGArrowTones::resolve(picture, arrowCentre, windowSize);
  // Sides beyond any bitmap are cut before the conversion; such an arrow cannot be drawn anyway.
  const double side = std::min(std::trunc(arrowSide), 1e9);
  const auto arrow = DMGArtwork::arrowPNG(request.arrowSymbol, tone, static_cast<int>(side));
  if (!arrow) return std::nullopt;
  return DMGArtwork::composeBackground(request.backgroundImageURL, windowSize, arrow, arrowCentre,
                                       arrowSide, backingScale, labelPads);
}

} // namespace halyard
