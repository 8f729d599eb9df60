#pragma once

#include <optional>
#include <string>

#include "core/Design/CodableColor.hpp"
#include "core/Design/DesignImage.hpp"

namespace halyard {

struct DesignImageEffects {
  // The picture's silhouette in `color`, grown outwards by `thickness` (in the picture's points):
  // every pixel takes the colour with its own alpha, then each pixel's alpha becomes the largest
  // alpha within a disc of that radius around it. Same size as the picture; the colour's own
  // alpha is not applied. Nothing when the picture has no pixels.
  static std::optional<DesignImage> outlined(const DesignImage& image, const CodableColor& color,
                                             double thickness);

  // PNG bytes of the picture's bitmap. Throws DesignRenderError::renderFailed.
  static std::string pngData(const DesignImage& image);
};

} // namespace halyard
