#pragma once

#include <cairo.h>

#include "core/Design/CodablePoint.hpp"
#include "core/Design/GradientSpec.hpp"

namespace halyard {

// Fills a canvas background with its gradient.
struct DesignGradientPainter {
  // Paints the rectangle (0, 0, size) of `context`, whose user space is the bitmap's pixels with
  // y growing upwards. The rectangle is cleared first; `none` leaves it transparent. An angular
  // gradient is computed pixel by pixel straight into the target bitmap. Throws
  // DesignRenderError::renderFailed when the gradient cannot be made.
  static void draw(cairo_t* context, DesignSize size, const GradientSpec& gradient);

  // The angular gradient into `surface` (an ARGB32 image surface), pixel by pixel.
  static void drawAngular(cairo_surface_t* surface, const GradientSpec& gradient);
};

} // namespace halyard
