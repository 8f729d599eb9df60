#pragma once

#include <filesystem>
#include <string_view>

#include "core/Support/Version.hpp"

namespace halyard {

// The family of disk-image tools a DMG is built with: `legacy` is hdiutil with HFS+ images,
// always available; `modern` is the `diskutil image` verbs with APFS images, used only when
// wanted, supported and no license agreement is embedded.
enum class DiskImageEngine { legacy, modern };

// "legacy" or "modern".
std::string_view rawValue(DiskImageEngine engine);

struct DiskImageEngines {
  // The desktop app's boolean preference for the modern family.
  static constexpr std::string_view preferenceKey = "Halyard.UseModernDiskImageTools";
  // The first system whose diskutil has the image verbs.
  static inline const Version modernMinimumSystem{27};

  // The stored preference in a preference domain file (binary or XML property list); a missing
  // or unreadable file, a missing key or a value that is not a boolean all give false.
  static bool prefersModern(const std::filesystem::path& preferencesFile);

  // The running system is at least modernMinimumSystem and diskutil is an executable file.
  static bool isModernAvailable();

  // `modern` exactly when it is preferred, available, and no license agreement is embedded.
  static DiskImageEngine resolve(bool prefersModern, bool hasLicenseAgreement);
  // The same with the preference stored in `preferencesFile`.
  static DiskImageEngine resolveWithStoredPreference(bool hasLicenseAgreement,
                                                     const std::filesystem::path& preferencesFile);
};

} // namespace halyard
