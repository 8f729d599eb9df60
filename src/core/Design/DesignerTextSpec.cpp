#include "core/Design/DesignerTextSpec.hpp"

#include <array>

namespace halyard {

namespace {
constexpr std::array<std::pair<DesignerTextAlignment, DesignerTextAlignmentInfo>, 3> table{{
    {DesignerTextAlignment::left, {"left", "Align Left", "text.alignleft"}},
    {DesignerTextAlignment::center, {"center", "Align Center", "text.aligncenter"}},
    {DesignerTextAlignment::right, {"right", "Align Right", "text.alignright"}},
}};
} // namespace

DesignerTextAlignmentInfo info(DesignerTextAlignment alignment) {
  for (const auto& [value, entry] : table)
    if (value == alignment) return entry;
  return table[1].second;
}

std::string_view rawValue(DesignerTextAlignment alignment) {
  return info(alignment).rawValue;
}

std::optional<DesignerTextAlignment> designerTextAlignment(std::string_view rawValue) {
  for (const auto& [value, entry] : table)
    if (entry.rawValue == rawValue) return value;
  return std::nullopt;
}

} // namespace halyard
