#pragma once

#include <cairo.h>

#include "core/DMG/FinderWindowScene.hpp"

namespace halyard {

// The pictures the window preview shows for items without an icon of their own: an app, a
// folder, the Applications folder (with the small arrow of a link) and a document. Drawn here
// with vector paths, so they are crisp at any size.
struct FinderIconPictures {
  // Draws the picture for `icon` into the square (x, y, side) of `context`, whose user space
  // has y growing downwards.
  static void draw(cairo_t* context, FinderWindowScene::Icon icon, double x, double y, double side);
};

} // namespace halyard
