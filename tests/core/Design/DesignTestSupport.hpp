#pragma once

#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/Design/DesignImage.hpp"
#include "core/Design/DesignSpec.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace designtest {

// One pixel of a bitmap, premultiplied, as stored.
struct Pixel {
  int a, r, g, b;
};

inline Pixel pixelAt(const halyard::DesignImage& image, int column, int row) {
  const uint32_t value = image.pixel(column, row);
  return {static_cast<int>(value >> 24), static_cast<int>((value >> 16) & 0xFF),
          static_cast<int>((value >> 8) & 0xFF), static_cast<int>(value & 0xFF)};
}

// The pixel at canvas point (x, y) of a render at scale 1, y counted from the bottom.
inline Pixel canvasPixel(const halyard::DesignImage& image, int x, int y) {
  return pixelAt(image, x, image.pixelHeight() - 1 - y);
}

// Writes a PNG of width × height pixels; the left `split` columns in one opaque colour, the rest
// in another.
inline void writeTwoColourPNG(const std::filesystem::path& path, int width, int height, int split,
                              double lr, double lg, double lb, double rr, double rg, double rb) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* context = cairo_create(surface);
  cairo_set_source_rgb(context, lr, lg, lb);
  cairo_rectangle(context, 0, 0, split, height);
  cairo_fill(context);
  cairo_set_source_rgb(context, rr, rg, rb);
  cairo_rectangle(context, split, 0, width - split, height);
  cairo_fill(context);
  cairo_destroy(context);
  cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
}

inline halyard::GradientStop stop(double r, double g, double b, double a, double location) {
  return {{r, g, b, a}, location, {0, 0}};
}

inline halyard::StickerItem pictureSticker(const std::string& id, const std::filesystem::path& file,
                                           double x, double y) {
  halyard::StickerItem sticker;
  sticker.id = id;
  sticker.asset = {"asset-" + id, "Picture",
                   halyard::StickerSource::file(halyard::FileURL::fromPath(file))};
  sticker.position = {x, y};
  sticker.scale = 1;
  return sticker;
}

// Points the user's caches folder at a private folder for the life of the object.
class CacheFolderOverride {
public:
  CacheFolderOverride() : folder_("Halyard_DesignTest_") {
    if (const char* old = std::getenv("XDG_CACHE_HOME")) previous_ = old, hadPrevious_ = true;
    ::setenv("XDG_CACHE_HOME", folder_.path().c_str(), 1);
  }
  ~CacheFolderOverride() {
    if (hadPrevious_) {
      ::setenv("XDG_CACHE_HOME", previous_.c_str(), 1);
    } else {
      ::unsetenv("XDG_CACHE_HOME");
    }
  }
  const std::filesystem::path& path() const { return folder_.path(); }

private:
  halyard::TemporaryFolder folder_;
  std::string previous_;
  bool hadPrevious_ = false;
};

} // namespace designtest
