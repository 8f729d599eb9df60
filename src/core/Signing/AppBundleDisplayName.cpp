#include "core/Signing/AppBundleDisplayName.hpp"

#include <cstdint>

#include "core/Support/PropertyList.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

// An information dictionary larger than this is not a real one; it is not read.
constexpr std::uintmax_t maximumInfoPlistSize = 16 * 1024 * 1024;

// The first of the names that is a string that is not blank, trimmed.
std::optional<std::string> displayName(const PropertyList& list) {
  for (const char* key : {"CFBundleDisplayName", "CFBundleName"}) {
    auto name = text::trimmed(list.string(key).value_or(""));
    if (!name.empty()) return name;
  }
  return std::nullopt;
}

} // namespace

std::optional<std::string> infoPlistDisplayName(std::string_view bytes) {
  if (bytes.size() > maximumInfoPlistSize) return std::nullopt;
  return displayName(PropertyList::parse(bytes));
}

std::string appBundleDisplayName(const std::filesystem::path& bundle) {
  try {
    const auto list =
        PropertyList::readFile(bundle / "Contents" / "Info.plist", maximumInfoPlistSize);
    if (auto name = displayName(list)) return *name;
  } catch (...) {
    // An unreadable bundle has no names; the file name below stands in.
  }
  auto path = bundle;
  while (!path.has_filename() && path.has_parent_path() && path.parent_path() != path)
    path = path.parent_path(); // "My App.app/" names the same bundle
  return path.stem().string();
}

} // namespace halyard
