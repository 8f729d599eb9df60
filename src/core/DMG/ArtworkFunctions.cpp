#include "core/DMG/ArtworkFunctions.hpp"

#include <algorithm>
#include <cmath>

#include "core/DMG/DMGArtwork.hpp"
#include "core/DMG/DMGWindowArtwork.hpp"
#include "core/DMG/FinderWindowPicture.hpp"
#include "core/Design/DesignRenderer.hpp"
#include "core/Design/StickerPictureLoader.hpp"

namespace halyard {

namespace {

std::optional<std::string> drawWindowBackground(const DMGWindowArtwork& artwork,
                                                const DMGBuildRequest& request) {
  std::optional<DesignImage> picture;
  if (request.backgroundImageURL) picture = StickerPictureLoader::load(*request.backgroundImageURL);
  const DMGArrowTone tone =
      DMGArrowTones::resolve(picture, artwork.arrowCentre, artwork.windowSize);
  // Sides beyond any bitmap are cut before the conversion; such an arrow cannot be drawn anyway.
  const double side = std::min(std::trunc(artwork.arrowSide), 1e9);
  const auto arrow = DMGArtwork::arrowPNG(request.arrowSymbol, tone, static_cast<int>(side));
  if (!arrow) return std::nullopt;
  return DMGArtwork::composeBackground(request.backgroundImageURL, artwork.windowSize, arrow,
                                       artwork.arrowCentre, artwork.arrowSide,
                                       DMGWindowArtwork::backingScale, artwork.labelPads);
}

} // namespace

const ArtworkFunctions& ArtworkFunctions::drawing() {
  static const ArtworkFunctions table{DMGArtwork::labelPadSize, drawWindowBackground,
                                      FinderWindowPicture::png, DesignRenderer::renderPNG};
  return table;
}

} // namespace halyard

// The entry the program looks up after loading the module.
extern "C" const halyard::ArtworkFunctions* bosun_artwork_functions_v2() {
  return &halyard::ArtworkFunctions::drawing();
}
