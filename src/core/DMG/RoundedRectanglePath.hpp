#pragma once

#include <algorithm>
#include <cairo.h>
#include <cmath>

namespace halyard {

// Adds a closed rectangle with quarter-circle corners to the context's path; the radius is at
// most half the width and half the height, so a radius of half the height draws a capsule.
inline void roundedRectanglePath(cairo_t* context, double x, double y, double width, double height,
                                 double radius) {
  radius = std::min({radius, width / 2, height / 2});
  cairo_new_sub_path(context);
  cairo_arc(context, x + width - radius, y + radius, radius, -M_PI / 2, 0);
  cairo_arc(context, x + width - radius, y + height - radius, radius, 0, M_PI / 2);
  cairo_arc(context, x + radius, y + height - radius, radius, M_PI / 2, M_PI);
  cairo_arc(context, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(context);
}

} // namespace halyard
