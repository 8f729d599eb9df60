#include "core/Design/DesignShadow.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace halyard {

namespace {

// One pass of a box filter of 2·radius+1 samples along a line of `count` samples `step` apart;
// samples beyond the ends count as transparent.
void boxPass(uint8_t* line, int count, int step, int radius, std::vector<uint8_t>& copy) {
  copy.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    copy[i] = line[static_cast<size_t>(i) * step];
  const int window = 2 * radius + 1;
  int sum = 0;
  for (int i = 0; i < std::min(radius, count); ++i)
    sum += copy[i];
  for (int i = 0; i < count; ++i) {
    if (i + radius < count) sum += copy[i + radius];
    if (i - radius - 1 >= 0) sum -= copy[i - radius - 1];
    line[static_cast<size_t>(i) * step] = static_cast<uint8_t>((sum + window / 2) / window);
  }
}

// Three box passes in each direction approximate a Gaussian of deviation sigma.
void blurAlpha(uint8_t* data, int width, int height, int stride, double sigma) {
  const int box = static_cast<int>(std::lround(std::sqrt(4 * sigma * sigma + 1)));
  const int radius = box / 2;
  if (radius < 1) return;
  std::vector<uint8_t> copy;
  for (int pass = 0; pass < 3; ++pass) {
    for (int row = 0; row < height; ++row)
      boxPass(data + static_cast<size_t>(row) * stride, width, 1, radius, copy);
    for (int column = 0; column < width; ++column)
      boxPass(data + column, height, stride, radius, copy);
  }
}

} // namespace

void DesignShadow::paint(cairo_t* context, double x, double y, double width, double height,
                         const std::function<void(cairo_t*)>& shape) const {
  cairo_surface_t* target = cairo_get_target(context);
  if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE || !(color.a > 0)) return;
  const double sigma = std::max(blur, 0.0) / 2;
  const double margin = std::ceil(3 * sigma) + 1;
  // Where the shadow can land, cut to the bitmap; the shape is drawn one offset away from it.
  const double left = std::max(std::floor(x - margin + offsetX), 0.0);
  const double top = std::max(std::floor(y - margin + offsetY), 0.0);
  const double right = std::min(std::ceil(x + width + margin + offsetX),
                                static_cast<double>(cairo_image_surface_get_width(target)));
  const double bottom = std::min(std::ceil(y + height + margin + offsetY),
                                 static_cast<double>(cairo_image_surface_get_height(target)));
  if (!(right > left && bottom > top)) return;
  const int maskWidth = static_cast<int>(right - left);
  const int maskHeight = static_cast<int>(bottom - top);

  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, maskWidth, maskHeight);
  if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(mask);
    return;
  }
  cairo_surface_set_device_offset(mask, -(left - offsetX), -(top - offsetY));
  cairo_t* maskContext = cairo_create(mask);
  cairo_matrix_t matrix;
  cairo_get_matrix(context, &matrix);
  cairo_set_matrix(maskContext, &matrix);
  cairo_set_source_rgba(maskContext, 0, 0, 0, 1);
  shape(maskContext);
  cairo_destroy(maskContext);
  cairo_surface_flush(mask);
  blurAlpha(cairo_image_surface_get_data(mask), maskWidth, maskHeight,
            cairo_image_surface_get_stride(mask), sigma);
  cairo_surface_mark_dirty(mask);
  cairo_surface_set_device_offset(mask, 0, 0);

  cairo_save(context);
  cairo_identity_matrix(context);
  cairo_set_operator(context, CAIRO_OPERATOR_OVER);
  cairo_set_source_rgba(context, color.r, color.g, color.b, color.a);
  cairo_mask_surface(context, mask, left, top);
  cairo_restore(context);
  cairo_surface_destroy(mask);
}

} // namespace halyard
