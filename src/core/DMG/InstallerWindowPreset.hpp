#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// The five sizes of the DMG's Finder window. The raw value is the case's name; case i (from 0)
// measures 960 + 160·i by 600 + 100·i points.
enum class InstallerWindowPreset { compact, small, balanced, large, standard };

// The content size of the window in points.
struct InstallerWindowSize {
  double width = 0;
  double height = 0;
  bool operator==(const InstallerWindowSize&) const = default;
};

std::string_view rawValue(InstallerWindowPreset preset);
InstallerWindowSize windowSize(InstallerWindowPreset preset);

// The size as the desktop app stores it: WIDTH + "x" + HEIGHT, for example "960x600".
std::string halyardValue(InstallerWindowPreset preset);

struct InstallerWindowPresets {
  static constexpr std::array<InstallerWindowPreset, 5> allCases{
      InstallerWindowPreset::compact, InstallerWindowPreset::small, InstallerWindowPreset::balanced,
      InstallerWindowPreset::large, InstallerWindowPreset::standard};

  // Exactly one of the case names.
  static std::optional<InstallerWindowPreset> fromRawValue(std::string_view text);

  // The case whose halyardValue equals the text exactly ("960x600" gives compact).
  static std::optional<InstallerWindowPreset> fromHalyardValue(std::string_view text);
};

} // namespace halyard
