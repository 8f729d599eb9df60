#pragma once

#include <array>
#include <string_view>

namespace bosun {

// What a release builds. The raw value is the file extension.
enum class OutputKind { dmg, pkg };

inline constexpr std::array<OutputKind, 2> allOutputKinds{OutputKind::dmg, OutputKind::pkg};

// "dmg" or "pkg".
constexpr std::string_view fileExtension(OutputKind kind) {
  return kind == OutputKind::pkg ? "pkg" : "dmg";
}

// "DMG" or "PKG", as messages show it.
constexpr std::string_view displayName(OutputKind kind) {
  return kind == OutputKind::pkg ? "PKG" : "DMG";
}

} // namespace bosun
