#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "core/Design/CodablePoint.hpp"
#include "core/Design/DesignImage.hpp"

typedef struct _RsvgHandle RsvgHandle;

namespace halyard {

// A parsed SVG document, drawn into a bitmap at whatever resolution a drawing needs. Parsed from
// memory without a base location, so the document cannot pull in other files.
class SVGPicture {
public:
  // Reference size in points for documents that give no size of their own (the longer side).
  static constexpr double referenceSize = 1024;
  // Bitmaps are never made larger than this on either side; the resolution drops instead.
  static constexpr int maximumRasterSide = 8192;

  // Nothing when the bytes are not an SVG document librsvg can read.
  static std::optional<SVGPicture> parse(std::string_view bytes);

  // The document's own size (width and height with absolute units, one pixel per point), else
  // its view box scaled to referenceSize on the longer side, else referenceSize square.
  DesignSize naturalSize() const;

  // The aspect ratio width / height of the view box (or of the natural size).
  double aspectRatio() const;

  // A bitmap of the whole document fitted to width × height points at pixelsPerPoint.
  std::optional<DesignImage> rasterized(double width, double height, double pixelsPerPoint) const;

private:
  explicit SVGPicture(RsvgHandle* handle);
  std::shared_ptr<RsvgHandle> handle_;
};

} // namespace halyard
