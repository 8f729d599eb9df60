#include "core/DMG/DMGWindowArtwork.hpp"

#include "core/DMG/ArtworkFunctions.hpp"

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
    const auto pillSize = ArtworkFunctions::current().labelPadSize;
    const double ly = halyardFinderLabelPillOffsetY(window);
    artwork.labelPads = {
        {{artwork.appIcon.x, artwork.appIcon.y + ly},
         pillSize(appDisplayName),
         request.exportLabelPillColor},
        {{artwork.folderIcon.x, artwork.folderIcon.y + ly},
         pillSize("Applications"),
         request.exportLabelPillColor},
    };
  }
  return artwork;
}

std::optional<std::string> DMGWindowArtwork::backgroundPNG(const DMGBuildRequest& request) const {
  return ArtworkFunctions::current().windowBackgroundPNG(*this, request);
}

} // namespace halyard
