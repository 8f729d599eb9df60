#include "core/Import/ImportedAppKind.hpp"

#include <array>

namespace halyard {

namespace {

constexpr std::array<std::string_view, 5> kindNames{"nativeSimple", "runtimeHeavy", "electronLike",
                                                    "pythonLike", "unknownComplex"};
constexpr std::array<std::string_view, 3> requirementNames{"none", "verifyOnly",
                                                           "prepareAndResign"};

} // namespace

std::string_view rawValue(ImportedAppKind kind) {
  return kindNames[static_cast<size_t>(kind)];
}

std::string_view rawValue(PreparationRequirement requirement) {
  return requirementNames[static_cast<size_t>(requirement)];
}

std::optional<ImportedAppKind> importedAppKindFromRawValue(std::string_view text) {
  for (size_t index = 0; index < kindNames.size(); ++index)
    if (kindNames[index] == text) return static_cast<ImportedAppKind>(index);
  return std::nullopt;
}

std::optional<PreparationRequirement> preparationRequirementFromRawValue(std::string_view text) {
  for (size_t index = 0; index < requirementNames.size(); ++index)
    if (requirementNames[index] == text) return static_cast<PreparationRequirement>(index);
  return std::nullopt;
}

} // namespace halyard
