#include "core/Design/DesignImage.hpp"

#include <cmath>
#include <cstring>

namespace halyard {

DesignImage::DesignImage(cairo_surface_t* surface, double width, double height)
    : surface_(surface, cairo_surface_destroy), width_(width), height_(height) {}

std::optional<cairo_surface_t*> DesignImage::makeBitmap(long long pixelWidth,
                                                        long long pixelHeight) {
  if (pixelWidth < 1 || pixelHeight < 1 || pixelWidth > maximumSide || pixelHeight > maximumSide) {
    return std::nullopt;
  }
  cairo_surface_t* surface = cairo_image_surface_create(
      CAIRO_FORMAT_ARGB32, static_cast<int>(pixelWidth), static_cast<int>(pixelHeight));
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return std::nullopt;
  }
  return surface; // cairo clears new image surfaces
}

int DesignImage::pixelWidth() const {
  return cairo_image_surface_get_width(surface_.get());
}
int DesignImage::pixelHeight() const {
  return cairo_image_surface_get_height(surface_.get());
}

uint32_t DesignImage::pixel(int column, int row) const {
  cairo_surface_flush(surface_.get());
  const unsigned char* data = cairo_image_surface_get_data(surface_.get());
  const int stride = cairo_image_surface_get_stride(surface_.get());
  uint32_t value = 0;
  std::memcpy(&value, data + static_cast<size_t>(row) * stride + static_cast<size_t>(column) * 4,
              4);
  return value;
}

std::optional<DesignImage> DesignImage::resampled(int pixelWidth, int pixelHeight) const {
  auto bitmap = makeBitmap(pixelWidth, pixelHeight);
  if (!bitmap) return std::nullopt;
  cairo_t* context = cairo_create(*bitmap);
  cairo_scale(context, static_cast<double>(pixelWidth) / this->pixelWidth(),
              static_cast<double>(pixelHeight) / this->pixelHeight());
  cairo_set_source_surface(context, surface_.get(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(context), CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(cairo_get_source(context), CAIRO_EXTEND_PAD);
  cairo_paint(context);
  const bool ok = cairo_status(context) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(context);
  if (!ok) {
    cairo_surface_destroy(*bitmap);
    return std::nullopt;
  }
  return DesignImage(*bitmap, width_, height_);
}

void DesignImage::draw(cairo_t* context, double x, double y, double width, double height,
                       double alpha) const {
  if (!(std::isfinite(width) && std::isfinite(height)) || width == 0 || height == 0) return;
  cairo_save(context);
  // The bitmap's top row goes to the rectangle's top edge (y + height in a y-up space).
  cairo_translate(context, x, y + height);
  cairo_scale(context, width / pixelWidth(), -height / pixelHeight());
  cairo_set_source_surface(context, surface_.get(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(context), CAIRO_FILTER_GOOD);
  // Padding plus the clip keeps the picture's edges crisp when it is scaled.
  cairo_pattern_set_extend(cairo_get_source(context), CAIRO_EXTEND_PAD);
  cairo_set_operator(context, CAIRO_OPERATOR_OVER);
  cairo_rectangle(context, 0, 0, pixelWidth(), pixelHeight());
  cairo_clip(context);
  cairo_paint_with_alpha(context, alpha);
  cairo_restore(context);
}

} // namespace halyard
