#pragma once

#include "core/Design/CodableColor.hpp"

namespace halyard {

// Whether the Finder's black icon labels stay readable over a background and its label pills
// (the desktop app's preview warns when they do not; the build does not use this).
struct FinderLabelAppearance {
  // The brightness assumed when the window has no picture (the default gradient).
  static constexpr double defaultBackgroundBrightness = 0.08;
  static constexpr double minimumContrast = 3.0;
  static constexpr CodableColor textColor = CodableColor::black();

  // The relative luminance of a colour (components clamped to 0…1 and linearised; weights
  // 0.2126, 0.7152, 0.0722). Alpha is not used.
  static double luminance(const CodableColor& color);

  // The luminance behind the label text: the linearised background brightness, covered by the
  // pill (with the pill colour's alpha) when pills are enabled.
  static double luminanceBehindLabel(double backgroundBrightness, bool pillEnabled,
                                     const CodableColor& pillColor);

  // Black text has a contrast of at least minimumContrast against that luminance.
  static bool isTextReadable(double backgroundBrightness, bool pillEnabled,
                             const CodableColor& pillColor);
};

} // namespace halyard
