#pragma once

#include "core/Support/Error.hpp"

namespace halyard {

class DesignRenderError : public Error {
public:
  enum class Code { renderFailed = 0, unsupportedStickerAsset };

  explicit DesignRenderError(Code code)
      : Error("Halyard.designRenderer", static_cast<int>(code), describe(code)) {}

  static DesignRenderError renderFailed() { return DesignRenderError(Code::renderFailed); }
  static DesignRenderError unsupportedStickerAsset() {
    return DesignRenderError(Code::unsupportedStickerAsset);
  }

  Code kind() const { return static_cast<Code>(code()); }

private:
  static const char* describe(Code code) {
    switch (code) {
    case Code::renderFailed:
      return "Failed to render the composed background image.";
    case Code::unsupportedStickerAsset:
      return "Sticker asset format is not supported.";
    }
    return "Failed to render the composed background image.";
  }
};

} // namespace halyard
