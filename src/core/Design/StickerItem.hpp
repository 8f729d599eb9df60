#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Design/CodableColor.hpp"
#include "core/Design/CodablePoint.hpp"
#include "core/Design/OutlineSpec.hpp"
#include "core/Design/StickerAsset.hpp"

namespace halyard {

// One sticker placed on the canvas.
struct StickerItem {
  std::string id; // UUID, canonical upper-case form
  StickerAsset asset;
  DesignPoint position; // the sticker's centre, canvas points
  double scale = 1;
  double rotationRadians = 0; // counter-clockwise positive
  double opacity = 1;
  bool mirroredHorizontally = false;
  bool outlineSyncSource = false;
  bool outlineEnabled = false;
  double outlineWidth = 2.5;
  CodableColor outlineColor = CodableColor::white();
  int64_t zIndex = 0;
  std::optional<OutlineSpec> outline;

  friend bool operator==(const StickerItem&, const StickerItem&) = default;
};

} // namespace halyard
