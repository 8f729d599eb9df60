#include "core/DMG/FinderLabelAppearance.hpp"

#include <algorithm>
#include <cmath>

namespace halyard {

namespace {
double linearised(double component) {
  const double c = std::clamp(std::isnan(component) ? 0.0 : component, 0.0, 1.0);
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
} // namespace

double FinderLabelAppearance::luminance(const CodableColor& color) {
  return 0.2126 * linearised(color.r) + 0.7152 * linearised(color.g) + 0.0722 * linearised(color.b);
}

double FinderLabelAppearance::luminanceBehindLabel(double backgroundBrightness, bool pillEnabled,
                                                   const CodableColor& pillColor) {
  const double a =
      pillEnabled ? std::clamp(std::isnan(pillColor.a) ? 0.0 : pillColor.a, 0.0, 1.0) : 0.0;
  return (1 - a) * linearised(backgroundBrightness) + a * luminance(pillColor);
}

bool FinderLabelAppearance::isTextReadable(double backgroundBrightness, bool pillEnabled,
                                           const CodableColor& pillColor) {
  return (luminanceBehindLabel(backgroundBrightness, pillEnabled, pillColor) + 0.05) / 0.05 >=
         minimumContrast;
}

} // namespace halyard
