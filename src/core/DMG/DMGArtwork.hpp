#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DMG/DMGFinderLayout.hpp"
#include "core/Design/CodableColor.hpp"
#include "core/Design/DesignImage.hpp"

namespace halyard {

// The arrow's colouring, chosen so that it stands out against what lies under it.
enum class DMGArrowTone { light, dark, neutral };

// The arrow's colour: white (alpha 0.98), black (0.92) or a neutral grey (0.557, 0.557, 0.576).
CodableColor tint(DMGArrowTone tone);
// The colour of the arrow's shadow: black 0.35, white 0.22 or black 0.12.
CodableColor shadowColor(DMGArrowTone tone);

struct DMGArrowTones {
  // The alpha (0 to 1) of the picture's pixel under the window point `p` when the picture is
  // drawn stretched to `imageSize`; 1.0 for a picture without pixels.
  static double coverage(FinderPoint p, const DesignImage& image, FinderSize imageSize);

  // No picture: light. A picture that covers less than half of the point: neutral. A bright
  // spot (brightness above 0.88): dark. Otherwise light.
  static DMGArrowTone resolve(const std::optional<DesignImage>& image, FinderPoint p,
                              FinderSize imageSize);
};

// A rounded pill behind an icon's label: its centre in window points and its size in points.
struct DMGLabelPad {
  FinderPoint center;
  FinderSize size;
  CodableColor color;
};

// The default installer artwork: label pills, the arrow and the composed background picture.
struct DMGArtwork {
  // The Finder draws icon labels at this size (points).
  static constexpr double finderLabelTextSize = 12;

  // The pill that fits `text` set in the system font at 12 points, medium weight: its width is
  // the text's width plus 16, rounded up and at most 260; its height is 24.
  static FinderSize labelPadSize(std::string_view text);

  // The luminance (0 to 1; 0.2126 R + 0.7152 G + 0.0722 B of the premultiplied 8-bit
  // components) of the picture's pixel under `p`, the picture drawn stretched to `imageSize`;
  // `p` is first moved into the picture. 0 for a picture without pixels.
  static double brightness(FinderPoint p, const DesignImage& image, FinderSize imageSize);

  // The luminance of the picture reduced to one pixel (the mean of all its pixels).
  static double averageBrightness(const DesignImage& image);

  // A PNG of max(side, 64) pixels square: the catalogue symbol `symbolName` in the tone's tint
  // with its soft shadow, inset by 16% on every side. An unknown symbol gives a transparent
  // square. Nothing only when the bitmap or its encoding cannot be made.
  static std::optional<std::string> arrowPNG(std::string_view symbolName, DMGArrowTone tone,
                                             int side);

  // The window's background as a PNG of ceil(size × scale) pixels (scale at least 1) that
  // declares `outputSize` as its size in points: the picture at `baseImage` stretched over the
  // whole window (when it loads) or a dark grey gradient, then the label pills with their soft
  // shadows, then the arrow (max(arrowSide, 64) points square) centred on `arrowPos`. Positions
  // are window points. Nothing for a size that is not finite or cannot be drawn.
  static std::optional<std::string>
  composeBackground(const std::optional<std::filesystem::path>& baseImage, FinderSize outputSize,
                    const std::optional<std::string>& arrowPNGData, FinderPoint arrowPos,
                    double arrowSide, double backingScale,
                    const std::vector<DMGLabelPad>& labelPads);
};

} // namespace halyard
