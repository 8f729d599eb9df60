#pragma once

#include <filesystem>
#include <string_view>

namespace halyard {

enum class InspectionFileKind { dmg, pkg };

// "DMG" or "PKG".
std::string_view rawValue(InspectionFileKind kind);

// A file whose extension, lower-cased, is "pkg" is a package; everything else is a disk image.
InspectionFileKind inspectionFileKind(const std::filesystem::path& file);

} // namespace halyard
