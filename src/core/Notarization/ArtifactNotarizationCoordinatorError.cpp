#include "core/Notarization/ArtifactNotarizationCoordinatorError.hpp"

namespace halyard {

ArtifactNotarizationCoordinatorError::ArtifactNotarizationCoordinatorError(Case errorCase,
                                                                           std::string text)
    : Error(domainName, static_cast<int>(errorCase), describe(errorCase, text)), case_(errorCase),
      text_(std::move(text)) {}

std::string ArtifactNotarizationCoordinatorError::describe(Case errorCase,
                                                           const std::string& text) {
  switch (errorCase) {
  case Case::unsupportedArtifactType:
  case Case::timeout:
    return text;
  case Case::signingFailed:
    return "Signing failed: " + text;
  case Case::notarizationFailed:
    return "Notarization failed: " + text;
  case Case::staplingFailed:
    return "Stapling failed: " + text;
  case Case::validationFailed:
    return "Validation failed: " + text;
  case Case::missingArtifact:
    return "The selected artifact could not be found.";
  }
  return text;
}

} // namespace halyard
