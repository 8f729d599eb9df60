#include "core/DMG/FinderIconPictures.hpp"

#include <algorithm>
#include <cmath>

#include "core/DMG/RoundedRectanglePath.hpp"

namespace halyard {

namespace {

void verticalGradient(cairo_t* context, double top, double bottom, double r1, double g1, double b1,
                      double r2, double g2, double b2) {
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, top, 0, bottom);
  cairo_pattern_add_color_stop_rgb(gradient, 0, r1, g1, b1);
  cairo_pattern_add_color_stop_rgb(gradient, 1, r2, g2, b2);
  cairo_set_source(context, gradient);
  cairo_pattern_destroy(gradient);
}

// A folder in the unit square: the back with its tab, then the front panel over it.
void folder(cairo_t* context) {
  cairo_new_path(context);
  roundedRectanglePath(context, 0.06, 0.12, 0.36, 0.14, 0.04);
  roundedRectanglePath(context, 0.06, 0.18, 0.88, 0.66, 0.05);
  cairo_set_source_rgb(context, 0.33, 0.60, 0.85);
  cairo_fill(context);
  roundedRectanglePath(context, 0.06, 0.28, 0.88, 0.58, 0.05);
  verticalGradient(context, 0.28, 0.86, 0.56, 0.79, 0.97, 0.40, 0.67, 0.92);
  cairo_fill(context);
  // A lighter edge along the front panel's top.
  cairo_move_to(context, 0.09, 0.29);
  cairo_line_to(context, 0.91, 0.29);
  cairo_set_line_width(context, 0.012);
  cairo_set_source_rgba(context, 1, 1, 1, 0.55);
  cairo_stroke(context);
}

// Four tiles pressed into the folder's front: where the apps live.
void applicationsEmblem(cairo_t* context) {
  cairo_set_source_rgba(context, 0.22, 0.47, 0.74, 0.75);
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 2; ++column)
      roundedRectanglePath(context, 0.37 + column * 0.14, 0.42 + row * 0.14, 0.11, 0.11, 0.025);
  cairo_fill(context);
}

// The small square with a bent arrow that marks a link.
void linkBadge(cairo_t* context) {
  roundedRectanglePath(context, 0.08, 0.66, 0.2, 0.2, 0.04);
  cairo_set_source_rgb(context, 1, 1, 1);
  cairo_fill_preserve(context);
  cairo_set_line_width(context, 0.01);
  cairo_set_source_rgba(context, 0, 0, 0, 0.3);
  cairo_stroke(context);
  cairo_set_source_rgb(context, 0.1, 0.1, 0.1);
  cairo_set_line_width(context, 0.028);
  cairo_move_to(context, 0.13, 0.82);
  cairo_curve_to(context, 0.13, 0.75, 0.17, 0.72, 0.23, 0.72);
  cairo_stroke(context);
  cairo_move_to(context, 0.24, 0.72);
  cairo_line_to(context, 0.195, 0.685);
  cairo_line_to(context, 0.195, 0.755);
  cairo_close_path(context);
  cairo_fill(context);
}

// A slate tile with a white four-pointed star: an app that brings no icon of its own.
void application(cairo_t* context) {
  roundedRectanglePath(context, 0.1, 0.1, 0.8, 0.8, 0.18);
  verticalGradient(context, 0.1, 0.9, 0.57, 0.62, 0.71, 0.36, 0.40, 0.49);
  cairo_fill_preserve(context);
  cairo_set_line_width(context, 0.01);
  cairo_set_source_rgba(context, 0, 0, 0, 0.25);
  cairo_stroke(context);
  cairo_move_to(context, 0.5, 0.24);
  cairo_curve_to(context, 0.53, 0.42, 0.58, 0.47, 0.76, 0.5);
  cairo_curve_to(context, 0.58, 0.53, 0.53, 0.58, 0.5, 0.76);
  cairo_curve_to(context, 0.47, 0.58, 0.42, 0.53, 0.24, 0.5);
  cairo_curve_to(context, 0.42, 0.47, 0.47, 0.42, 0.5, 0.24);
  cairo_close_path(context);
  cairo_set_source_rgba(context, 1, 1, 1, 0.95);
  cairo_fill(context);
}

// A page with its top right corner folded down, and a few lines of text.
void document(cairo_t* context) {
  cairo_move_to(context, 0.2, 0.06);
  cairo_line_to(context, 0.62, 0.06);
  cairo_line_to(context, 0.8, 0.24);
  cairo_line_to(context, 0.8, 0.94);
  cairo_line_to(context, 0.2, 0.94);
  cairo_close_path(context);
  cairo_set_source_rgb(context, 1, 1, 1);
  cairo_fill_preserve(context);
  cairo_set_line_width(context, 0.012);
  cairo_set_source_rgba(context, 0, 0, 0, 0.35);
  cairo_stroke(context);
  cairo_move_to(context, 0.62, 0.06);
  cairo_line_to(context, 0.62, 0.24);
  cairo_line_to(context, 0.8, 0.24);
  cairo_close_path(context);
  cairo_set_source_rgb(context, 0.86, 0.86, 0.88);
  cairo_fill_preserve(context);
  cairo_set_source_rgba(context, 0, 0, 0, 0.35);
  cairo_stroke(context);
  cairo_set_source_rgb(context, 0.75, 0.76, 0.8);
  cairo_set_line_width(context, 0.025);
  for (int line = 0; line < 6; ++line) {
    cairo_move_to(context, 0.28, 0.36 + line * 0.09);
    cairo_line_to(context, line == 5 ? 0.55 : 0.72, 0.36 + line * 0.09);
  }
  cairo_stroke(context);
}

} // namespace

void FinderIconPictures::draw(cairo_t* context, FinderWindowScene::Icon icon, double x, double y,
                              double side) {
  if (!(side > 0)) return;
  cairo_save(context);
  cairo_translate(context, x, y);
  cairo_scale(context, side, side);
  switch (icon) {
  case FinderWindowScene::Icon::app:
    application(context);
    break;
  case FinderWindowScene::Icon::folder:
    folder(context);
    break;
  case FinderWindowScene::Icon::applications:
    folder(context);
    applicationsEmblem(context);
    linkBadge(context);
    break;
  case FinderWindowScene::Icon::document:
    document(context);
    break;
  }
  cairo_restore(context);
}

} // namespace halyard
