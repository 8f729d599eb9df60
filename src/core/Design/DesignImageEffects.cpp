#include "core/Design/DesignImageEffects.hpp"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/Design/DesignRenderError.hpp"

namespace halyard {

namespace {

uint8_t toByte(double value) {
  if (!(value > 0)) return 0;
  if (value >= 1) return 255;
  return static_cast<uint8_t>(std::lround(value * 255));
}

// out[x] = max(in[x - half … x + half]) in O(n), by blocks of 2·half+1 with running maxima from
// the left and from the right (van Herk / Gil-Werman).
void slidingMaximum(const uint8_t* in, uint8_t* out, int n, int half, std::vector<uint8_t>& left,
                    std::vector<uint8_t>& right) {
  if (half == 0) {
    std::memcpy(out, in, static_cast<size_t>(n));
    return;
  }
  const int window = 2 * half + 1;
  left.resize(static_cast<size_t>(n));
  right.resize(static_cast<size_t>(n));
  for (int start = 0; start < n; start += window) {
    const int end = std::min(start + window, n);
    uint8_t running = 0;
    for (int i = start; i < end; ++i)
      left[i] = running = std::max(running, in[i]);
    running = 0;
    for (int i = end - 1; i >= start; --i)
      right[i] = running = std::max(running, in[i]);
  }
  for (int x = 0; x < n; ++x) {
    const int from = std::max(x - half, 0);
    const int to = std::min(x + half, n - 1);
    if (from / window != to / window) {
      out[x] = std::max(right[from], left[to]); // the window spans two neighbouring blocks
    } else if (from % window == 0) {
      out[x] = left[to]; // a window cut short by the start, inside the first block
    } else {
      out[x] = right[from]; // cut short by the end, inside the last block
    }
  }
}

std::vector<uint8_t> dilated(const std::vector<uint8_t>& alpha, int width, int height,
                             double radius) {
  const double diagonal = std::hypot(width, height);
  if (radius >= diagonal) {
    // Every disc covers the whole picture.
    const uint8_t top = alpha.empty() ? 0 : *std::max_element(alpha.begin(), alpha.end());
    return std::vector<uint8_t>(alpha.size(), top);
  }
  const int reach = static_cast<int>(std::floor(radius + 1e-9));
  if (reach == 0) return alpha;
  std::vector<uint8_t> result(alpha.size(), 0);
  std::vector<uint8_t> row(static_cast<size_t>(width));
  std::vector<uint8_t> left;
  std::vector<uint8_t> right;
  for (int dy = -reach; dy <= reach; ++dy) {
    const int half = static_cast<int>(std::floor(std::sqrt(radius * radius - dy * dy) + 1e-9));
    for (int source = std::max(0, dy); source < std::min(height, height + dy); ++source) {
      // Source row `source` contributes to output row `source - dy`.
      slidingMaximum(alpha.data() + static_cast<size_t>(source) * width, row.data(), width, half,
                     left, right);
      uint8_t* out = result.data() + static_cast<size_t>(source - dy) * width;
      for (int x = 0; x < width; ++x)
        out[x] = std::max(out[x], row[x]);
    }
  }
  return result;
}

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::optional<DesignImage> DesignImageEffects::outlined(const DesignImage& image,
                                                        const CodableColor& color,
                                                        double thickness) {
  const int width = image.pixelWidth();
  const int height = image.pixelHeight();
  if (width < 1 || height < 1 || !(image.width() > 0)) return std::nullopt;
  const double pixelsPerPoint = width / image.width();
  const double radius = std::max(thickness, 0.0) * pixelsPerPoint;

  cairo_surface_t* sourceSurface = image.surface();
  cairo_surface_flush(sourceSurface);
  const unsigned char* source = cairo_image_surface_get_data(sourceSurface);
  const int sourceStride = cairo_image_surface_get_stride(sourceSurface);
  std::vector<uint8_t> alpha(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t value = 0;
      std::memcpy(&value,
                  source + static_cast<size_t>(y) * sourceStride + static_cast<size_t>(x) * 4, 4);
      alpha[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(value >> 24);
    }
  }
  const std::vector<uint8_t> grown =
      dilated(alpha, width, height, std::isfinite(radius) ? radius : 1e18);

  auto bitmap = DesignImage::makeBitmap(width, height);
  if (!bitmap) return std::nullopt;
  unsigned char* target = cairo_image_surface_get_data(*bitmap);
  const int targetStride = cairo_image_surface_get_stride(*bitmap);
  const uint32_t red = toByte(color.r);
  const uint32_t green = toByte(color.g);
  const uint32_t blue = toByte(color.b);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t a = grown[static_cast<size_t>(y) * width + x];
      const auto premultiply = [a](uint32_t c) { return (c * a + 127) / 255; };
      const uint32_t value =
          (a << 24) | (premultiply(red) << 16) | (premultiply(green) << 8) | premultiply(blue);
      std::memcpy(target + static_cast<size_t>(y) * targetStride + static_cast<size_t>(x) * 4,
                  &value, 4);
    }
  }
  cairo_surface_mark_dirty(*bitmap);
  return DesignImage(*bitmap, image.width(), image.height());
}

namespace {

void appendPNGBytes(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))
      ->append(reinterpret_cast<const char*>(data), length);
}

[[noreturn]] void stopOnPNGError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

void ignorePNGWarning(png_structp, png_const_charp) {}

// Writes an ARGB32 or RGB24 image surface as 8-bit RGBA or RGB with libpng at a fast compression
// level, choosing per row only between the "sub" and "up" filters (smooth gradients compress well
// with one or the other): a background is written in a fraction of the time cairo's writer takes
// (default level, all five filters), and the somewhat larger file costs nothing inside a
// compressed disk image. The colours are un-premultiplied the way cairo's writer does it. False
// when the surface is of another format or libpng fails.
bool writeFastPNG(cairo_surface_t* surface, std::string& bytes) {
  if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return false;
  const cairo_format_t format = cairo_image_surface_get_format(surface);
  if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) return false;
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  if (!data || width <= 0 || height <= 0) return false;
  const bool alpha = format == CAIRO_FORMAT_ARGB32;
  const int channels = alpha ? 4 : 3;

  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stopOnPNGError, ignorePNGWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * channels);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_set_write_fn(png, &bytes, appendPNGBytes, nullptr);
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB | PNG_FILTER_UP);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const unsigned char* source = data + static_cast<std::size_t>(y) * stride;
    unsigned char* out = row.data();
    for (int x = 0; x < width; ++x, out += channels) {
      uint32_t pixel = 0;
      std::memcpy(&pixel, source + static_cast<std::size_t>(x) * 4, 4);
      const uint32_t a = alpha ? pixel >> 24 : 255;
      uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
      if (a == 0) {
        r = g = b = 0;
      } else if (a != 255) {
        r = (r * 255 + a / 2) / a;
        g = (g * 255 + a / 2) / a;
        b = (b * 255 + a / 2) / a;
      }
      out[0] = static_cast<unsigned char>(r);
      out[1] = static_cast<unsigned char>(g);
      out[2] = static_cast<unsigned char>(b);
      if (alpha) out[3] = static_cast<unsigned char>(a);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

} // namespace

std::string DesignImageEffects::pngData(const DesignImage& image) {
  std::string bytes;
  if (image.surface() == nullptr) throw DesignRenderError::renderFailed();
  if (writeFastPNG(image.surface(), bytes) && !bytes.empty()) return bytes;
  bytes.clear();
  if (cairo_surface_write_to_png_stream(image.surface(), appendToString, &bytes) !=
          CAIRO_STATUS_SUCCESS ||
      bytes.empty()) {
    throw DesignRenderError::renderFailed();
  }
  return bytes;
}

} // namespace halyard
