#pragma once

#include <vector>

#include "core/Design/CodableColor.hpp"
#include "core/Design/CodablePoint.hpp"
#include "core/Design/GradientSpec.hpp"
#include "core/Design/StickerItem.hpp"

namespace halyard {

// The canvas of a template: its size, background and stickers, and the look of the file-name
// label pills of the finished background.
struct DesignSpec {
  DesignSize size;
  GradientSpec gradient;
  std::vector<StickerItem> stickers;
  bool exportLabelPillEnabled = true;
  CodableColor exportLabelPillColor = CodableColor::white();
  CodableColor exportLabelTextColor = CodableColor::black();

  friend bool operator==(const DesignSpec&, const DesignSpec&) = default;
};

} // namespace halyard
