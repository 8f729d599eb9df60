#pragma once

#include <optional>
#include <string_view>

namespace halyard {

// What kind of app an import is, as the bundle scan classifies it. The raw value of a case is
// its name.
enum class ImportedAppKind { nativeSimple, runtimeHeavy, electronLike, pythonLike, unknownComplex };

// What must happen to an imported app before it is packaged. The raw value of a case is its name.
enum class PreparationRequirement { none, verifyOnly, prepareAndResign };

std::string_view rawValue(ImportedAppKind kind);
std::string_view rawValue(PreparationRequirement requirement);

std::optional<ImportedAppKind> importedAppKindFromRawValue(std::string_view text);
std::optional<PreparationRequirement> preparationRequirementFromRawValue(std::string_view text);

} // namespace halyard
