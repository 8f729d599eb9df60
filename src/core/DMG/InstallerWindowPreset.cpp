#include "core/DMG/InstallerWindowPreset.hpp"

namespace halyard {

namespace {
constexpr std::array<std::string_view, 5> names{"compact", "small", "balanced", "large",
                                                "standard"};

int index(InstallerWindowPreset preset) {
  return static_cast<int>(preset);
}
} // namespace

std::string_view rawValue(InstallerWindowPreset preset) {
  return names[static_cast<size_t>(preset)];
}

InstallerWindowSize windowSize(InstallerWindowPreset preset) {
  return {960.0 + 160.0 * index(preset), 600.0 + 100.0 * index(preset)};
}

std::string halyardValue(InstallerWindowPreset preset) {
  return std::to_string(960 + 160 * index(preset)) + "x" +
         std::to_string(600 + 100 * index(preset));
}

std::optional<InstallerWindowPreset> InstallerWindowPresets::fromRawValue(std::string_view text) {
  for (InstallerWindowPreset preset : allCases) {
    if (rawValue(preset) == text) return preset;
  }
  return std::nullopt;
}

std::optional<InstallerWindowPreset>
InstallerWindowPresets::fromHalyardValue(std::string_view text) {
  for (InstallerWindowPreset preset : allCases) {
    if (halyardValue(preset) == text) return preset;
  }
  return std::nullopt;
}

} // namespace halyard
