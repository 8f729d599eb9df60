#include "core/Inspection/InspectionFileKind.hpp"

#include "core/Inspection/InspectionText.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

std::string_view rawValue(InspectionFileKind kind) {
  return kind == InspectionFileKind::pkg ? "PKG" : "DMG";
}

InspectionFileKind inspectionFileKind(const std::filesystem::path& file) {
  return text::lowercasedASCII(file.extension().string()) == ".pkg" ? InspectionFileKind::pkg
                                                                    : InspectionFileKind::dmg;
}

} // namespace halyard
