#pragma once

#include <cairo.h>

#include <memory>
#include <optional>

namespace halyard {

// A picture with a size in points and a bitmap (cairo ARGB32: 8 bits per component,
// premultiplied alpha, memory row 0 at the top). The bitmap's pixel size may differ from the
// size in points (a picture rasterised for a larger or smaller drawing). Copies share the
// bitmap, which is never changed once the image is made.
class DesignImage {
public:
  // Largest bitmap side the drawing library accepts.
  static constexpr int maximumSide = 32767;

  // Takes over `surface` (an image surface in good state).
  DesignImage(cairo_surface_t* surface, double width, double height);

  // A cleared (transparent) bitmap of the given pixel size, or nothing when the size is not
  // positive, exceeds maximumSide or cannot be allocated.
  static std::optional<cairo_surface_t*> makeBitmap(long long pixelWidth, long long pixelHeight);

  double width() const { return width_; }
  double height() const { return height_; }
  int pixelWidth() const;
  int pixelHeight() const;
  cairo_surface_t* surface() const { return surface_.get(); }

  // The 32-bit pixel in memory row `row`, column `column`: alpha << 24 | red << 16 | green << 8
  // | blue, colours premultiplied.
  uint32_t pixel(int column, int row) const;

  // The same picture with a bitmap of another pixel size (same size in points).
  std::optional<DesignImage> resampled(int pixelWidth, int pixelHeight) const;

  // Draws the whole picture into the rectangle (x, y, width, height) of `context`, whose user
  // space has y growing upwards, upright, with source-over compositing and `alpha` as fraction.
  // A rectangle without area draws nothing.
  void draw(cairo_t* context, double x, double y, double width, double height, double alpha) const;

private:
  std::shared_ptr<cairo_surface_t> surface_;
  double width_;
  double height_;
};

} // namespace halyard
