#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Design/CodableColor.hpp"
#include "core/Design/CodablePoint.hpp"

namespace halyard {

// How the canvas background is filled. The raw values are the strings of the document.
enum class GradientKind { linear, radial, angular, solid, none };

std::string_view rawValue(GradientKind kind);
std::optional<GradientKind> gradientKind(std::string_view rawValue);

struct GradientStop {
  CodableColor color;
  double location = 0; // 0…1 along the gradient
  CodablePoint point;

  friend bool operator==(const GradientStop&, const GradientStop&) = default;
};

struct GradientSpec {
  GradientKind kind = GradientKind::none;
  std::vector<GradientStop> stops;
  double angleDegrees = 0;  // direction of a linear gradient, start angle of an angular one
  DesignPoint radialCenter; // unit coordinates of the canvas
  double radialRadius = 0;  // fraction of the canvas' shorter side

  friend bool operator==(const GradientSpec&, const GradientSpec&) = default;
};

} // namespace halyard
