#include "core/Design/SVGPicture.hpp"

#include <gio/gio.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>

namespace halyard {

SVGPicture::SVGPicture(RsvgHandle* handle) : handle_(handle, g_object_unref) {}

std::optional<SVGPicture> SVGPicture::parse(std::string_view bytes) {
  if (bytes.empty()) return std::nullopt;
  GInputStream* stream =
      g_memory_input_stream_new_from_data(bytes.data(), static_cast<gssize>(bytes.size()), nullptr);
  GError* error = nullptr;
  // No base file: references to other files cannot be resolved. No flags: the XML parser keeps
  // its limits against hostile documents.
  RsvgHandle* handle =
      rsvg_handle_new_from_stream_sync(stream, nullptr, RSVG_HANDLE_FLAGS_NONE, nullptr, &error);
  g_object_unref(stream);
  if (handle == nullptr) {
    if (error != nullptr) g_error_free(error);
    return std::nullopt;
  }
  rsvg_handle_set_dpi(handle, 72.0);
  return SVGPicture(handle);
}

DesignSize SVGPicture::naturalSize() const {
  double width = 0;
  double height = 0;
  if (rsvg_handle_get_intrinsic_size_in_pixels(handle_.get(), &width, &height) && width > 0 &&
      height > 0 && std::isfinite(width) && std::isfinite(height)) {
    return {width, height};
  }
  const double ratio = aspectRatio();
  if (ratio >= 1) return {referenceSize, referenceSize / ratio};
  return {referenceSize * ratio, referenceSize};
}

double SVGPicture::aspectRatio() const {
  gboolean hasViewBox = FALSE;
  RsvgRectangle viewBox{};
  rsvg_handle_get_intrinsic_dimensions(handle_.get(), nullptr, nullptr, nullptr, nullptr,
                                       &hasViewBox, &viewBox);
  if (hasViewBox && viewBox.width > 0 && viewBox.height > 0 && std::isfinite(viewBox.width) &&
      std::isfinite(viewBox.height)) {
    return std::clamp(viewBox.width / viewBox.height, 1e-3, 1e3);
  }
  double width = 0;
  double height = 0;
  if (rsvg_handle_get_intrinsic_size_in_pixels(handle_.get(), &width, &height) && width > 0 &&
      height > 0) {
    return std::clamp(width / height, 1e-3, 1e3);
  }
  return 1;
}

std::optional<DesignImage> SVGPicture::rasterized(double width, double height,
                                                  double pixelsPerPoint) const {
  if (!(width > 0 && height > 0 && pixelsPerPoint > 0) || !std::isfinite(width * pixelsPerPoint) ||
      !std::isfinite(height * pixelsPerPoint)) {
    return std::nullopt;
  }
  double pixelWidth = width * pixelsPerPoint;
  double pixelHeight = height * pixelsPerPoint;
  const double reduction = std::max(pixelWidth, pixelHeight) / maximumRasterSide;
  if (reduction > 1) {
    pixelWidth /= reduction;
    pixelHeight /= reduction;
  }
  const auto columns = static_cast<long long>(std::max(1.0, std::ceil(pixelWidth)));
  const auto rows = static_cast<long long>(std::max(1.0, std::ceil(pixelHeight)));
  auto bitmap = DesignImage::makeBitmap(columns, rows);
  if (!bitmap) return std::nullopt;

  cairo_t* context = cairo_create(*bitmap);
  const RsvgRectangle viewport{0, 0, static_cast<double>(columns), static_cast<double>(rows)};
  GError* error = nullptr;
  const bool drawn = rsvg_handle_render_document(handle_.get(), context, &viewport, &error);
  if (error != nullptr) g_error_free(error);
  const bool ok = drawn && cairo_status(context) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(context);
  if (!ok) {
    cairo_surface_destroy(*bitmap);
    return std::nullopt;
  }
  cairo_surface_mark_dirty(*bitmap);
  return DesignImage(*bitmap, width, height);
}

} // namespace halyard
