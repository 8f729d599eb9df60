#include "core/Appcast/AppBundleVersions.hpp"

#include "core/Signing/AppBundleDisplayName.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

AppBundleVersions AppBundleVersions::read(const std::filesystem::path& app) {
  AppBundleVersions versions;
  versions.name = appBundleDisplayName(app);
  try {
    const auto info = PropertyList::readFile(app / "Contents" / "Info.plist");
    const auto text = [&](const char* key) -> std::optional<std::string> {
      std::string value = text::trimmed(info.string(key).value_or(""));
      if (value.empty()) return std::nullopt;
      return value;
    };
    versions.version = text("CFBundleVersion");
    versions.shortVersion = text("CFBundleShortVersionString");
    versions.minimumSystemVersion = text("LSMinimumSystemVersion");
  } catch (...) {
    // An unreadable Info.plist gives no versions.
  }
  return versions;
}

} // namespace halyard
