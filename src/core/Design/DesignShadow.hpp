#pragma once

#include <cairo.h>

#include <functional>

#include "core/Design/CodableColor.hpp"

namespace halyard {

// The soft shadow a shape casts, as the drawing services of the desktop app make it: the shape's
// coverage blurred (Gaussian with σ = blur / 2), moved by the offset and painted in the colour.
// Lengths are bitmap pixels; the offset's y grows downwards, as the bitmap's rows do.
struct DesignShadow {
  double blur = 0;
  double offsetX = 0;
  double offsetY = 0;
  CodableColor color;

  // Paints the shadow that `shape` casts into `context`'s target (an image surface), under the
  // context's clip. `shape` fills the shape in the context it is given, whose matrix is the
  // current matrix of `context`; it must stay within the device rectangle (x, y, width, height).
  void paint(cairo_t* context, double x, double y, double width, double height,
             const std::function<void(cairo_t*)>& shape) const;
};

} // namespace halyard
