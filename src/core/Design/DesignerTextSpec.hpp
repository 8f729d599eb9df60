#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/Design/CodableColor.hpp"

namespace halyard {

enum class DesignerTextAlignment { left, center, right };

struct DesignerTextAlignmentInfo {
  std::string_view rawValue;
  std::string_view title;
  std::string_view symbolName;
};

DesignerTextAlignmentInfo info(DesignerTextAlignment alignment);
std::string_view rawValue(DesignerTextAlignment alignment);
std::optional<DesignerTextAlignment> designerTextAlignment(std::string_view rawValue);

// A text sticker. Every field has a default, so the empty object is a valid text sticker.
struct DesignerTextSpec {
  // The family name that stands for the system font.
  static constexpr std::string_view systemFamily = "System";

  std::string text;
  std::string fontFamily{systemFamily};
  double fontSize = 72;
  bool isBold = false;
  bool isItalic = false;
  bool isUnderline = false;
  bool isStrikethrough = false;
  DesignerTextAlignment alignment = DesignerTextAlignment::center;
  CodableColor color = CodableColor::white();

  friend bool operator==(const DesignerTextSpec&, const DesignerTextSpec&) = default;
};

} // namespace halyard
