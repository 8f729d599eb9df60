#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DMG/DMGArtwork.hpp"
#include "core/DMG/DMGBuildRequest.hpp"

namespace halyard {

// The installer window a build request asks for: where the icons, the arrow and the label pills
// go (window points, y downwards) and the background picture drawn from them.
struct DMGWindowArtwork {
  static constexpr double backingScale = 2.0;

  FinderSize windowSize;
  FinderPoint appIcon;
  FinderPoint folderIcon;
  FinderPoint arrowCentre;
  double arrowSide = 0;
  // The app's pill, then the Applications pill; none without label pills.
  std::vector<DMGLabelPad> labelPads;

  // The designed layout moved down by the export offset, with pills sized for `appDisplayName`
  // and "Applications" when the request enables them.
  static DMGWindowArtwork make(const DMGBuildRequest& request, std::string_view appDisplayName);

  // The background at twice the window size: the request's picture (or the default gradient),
  // the pills, and the arrow in the tone that suits the picture under it. Nothing when no arrow
  // or picture can be made; the window then goes without a background.
  std::optional<std::string> backgroundPNG(const DMGBuildRequest& request) const;
};

} // namespace halyard
