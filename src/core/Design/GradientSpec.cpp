#include "core/Design/GradientSpec.hpp"

#include <array>
#include <utility>

namespace halyard {

namespace {
constexpr std::array<std::pair<GradientKind, std::string_view>, 5> names{{
    {GradientKind::linear, "linear"},
    {GradientKind::radial, "radial"},
    {GradientKind::angular, "angular"},
    {GradientKind::solid, "solid"},
    {GradientKind::none, "none"},
}};
} // namespace

std::string_view rawValue(GradientKind kind) {
  for (const auto& [value, name] : names)
    if (value == kind) return name;
  return "none";
}

std::optional<GradientKind> gradientKind(std::string_view rawValue) {
  for (const auto& [value, name] : names)
    if (name == rawValue) return value;
  return std::nullopt;
}

} // namespace halyard
