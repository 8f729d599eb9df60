#include "core/Design/StickerPictureLoader.hpp"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "core/Design/SVGPicture.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/RegularFileReader.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

constexpr unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool tooLarge(long long width, long long height) {
  return width < 1 || height < 1 || width > DesignImage::maximumSide ||
         height > DesignImage::maximumSide || width * height > StickerPictureLoader::maximumPixels;
}

uint32_t bigEndian32(std::string_view bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

struct ReadCursor {
  std::string_view bytes;
};

cairo_status_t readFromCursor(void* closure, unsigned char* data, unsigned int length) {
  auto* cursor = static_cast<ReadCursor*>(closure);
  if (cursor->bytes.size() < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, cursor->bytes.data(), length);
  cursor->bytes.remove_prefix(length);
  return CAIRO_STATUS_SUCCESS;
}

std::optional<DesignImage> decodePNG(std::string_view bytes) {
  // The header chunk must come first; its size is checked before any pixel memory is taken.
  if (bytes.size() < 24 || bytes.substr(12, 4) != "IHDR") return std::nullopt;
  const long long width = bigEndian32(bytes, 16);
  const long long height = bigEndian32(bytes, 20);
  if (tooLarge(width, height)) return std::nullopt;
  ReadCursor cursor{bytes};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(readFromCursor, &cursor);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return std::nullopt;
  }
  // Every drawing path expects ARGB32; PNGs without alpha come back as RGB24, others as A8.
  if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
    auto converted = DesignImage::makeBitmap(width, height);
    if (!converted) {
      cairo_surface_destroy(surface);
      return std::nullopt;
    }
    cairo_t* context = cairo_create(*converted);
    cairo_set_source_surface(context, surface, 0, 0);
    cairo_paint(context);
    cairo_destroy(context);
    cairo_surface_destroy(surface);
    surface = *converted;
  }
  return DesignImage(surface, static_cast<double>(width), static_cast<double>(height));
}

struct SizeCheck {
  bool refused = false;
};

void onSizePrepared(GdkPixbufLoader* loader, gint width, gint height, gpointer data) {
  if (tooLarge(width, height)) {
    static_cast<SizeCheck*>(data)->refused = true;
    gdk_pixbuf_loader_set_size(loader, 1, 1); // decode as little as possible, then discard
  }
}

std::optional<DesignImage> fromPixbuf(GdkPixbuf* pixbuf) {
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  if (gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 ||
      gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || channels < (alpha ? 4 : 3)) {
    return std::nullopt;
  }
  auto bitmap = DesignImage::makeBitmap(width, height);
  if (!bitmap) return std::nullopt;
  const guchar* source = gdk_pixbuf_read_pixels(pixbuf);
  const int sourceStride = gdk_pixbuf_get_rowstride(pixbuf);
  unsigned char* target = cairo_image_surface_get_data(*bitmap);
  const int targetStride = cairo_image_surface_get_stride(*bitmap);
  for (int row = 0; row < height; ++row) {
    const guchar* in = source + static_cast<size_t>(row) * sourceStride;
    unsigned char* out = target + static_cast<size_t>(row) * targetStride;
    for (int column = 0; column < width; ++column, in += channels, out += 4) {
      const uint32_t a = alpha ? in[3] : 255;
      const auto premultiply = [a](uint32_t c) { return (c * a + 127) / 255; };
      const uint32_t value =
          (a << 24) | (premultiply(in[0]) << 16) | (premultiply(in[1]) << 8) | premultiply(in[2]);
      std::memcpy(out, &value, 4);
    }
  }
  cairo_surface_mark_dirty(*bitmap);
  return DesignImage(*bitmap, width, height);
}

std::optional<DesignImage> decodeWithPixbuf(std::string_view bytes) {
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  SizeCheck check;
  g_signal_connect(loader, "size-prepared", G_CALLBACK(onSizePrepared), &check);
  GError* error = nullptr;
  bool ok = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()),
                                    bytes.size(), &error);
  if (error != nullptr) {
    g_error_free(error);
    error = nullptr;
  }
  // Closing is required even after a failed write.
  ok = gdk_pixbuf_loader_close(loader, ok ? &error : nullptr) && ok;
  if (error != nullptr) g_error_free(error);
  std::optional<DesignImage> image;
  if (ok && !check.refused) {
    if (GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader)) image = fromPixbuf(pixbuf);
  }
  g_object_unref(loader);
  return image;
}

} // namespace

std::optional<DesignImage> StickerPictureLoader::load(const std::filesystem::path& path,
                                                      double pixelsPerPoint) {
  std::string bytes;
  try {
    bytes = RegularFileReader::read(path);
  } catch (const Error&) {
    return std::nullopt;
  }
  const std::string extension = path.extension().string();
  return decode(bytes, extension.empty() ? extension : extension.substr(1), pixelsPerPoint);
}

std::optional<DesignImage> StickerPictureLoader::decode(std::string_view bytes,
                                                        std::string_view extension,
                                                        double pixelsPerPoint) {
  const std::string kind = halyard::text::lowercasedASCII(extension);
  // Vector pictures are redrawn into a bitmap of their own at the resolution they are drawn at.
  if (kind == "svg" || kind == "svgz") {
    auto picture = SVGPicture::parse(bytes);
    if (!picture) return std::nullopt;
    const DesignSize size = picture->naturalSize();
    return picture->rasterized(size.width, size.height, pixelsPerPoint);
  }
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), pngSignature, 8) == 0) return decodePNG(bytes);
  return decodeWithPixbuf(bytes);
}

} // namespace halyard
