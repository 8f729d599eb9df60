#include "core/Notarization/ArtifactNotarizationCoordinatorError.hpp"

#include "core/Notarization/Notary.hpp"

namespace halyard {

ArtifactNotarizationCoordinatorError::ArtifactNotarizationCoordinatorError(Case errorCase,
                                                                           std::string text)
    : Error(domainName, static_cast<int>(errorCase), describe(errorCase, text)), case_(errorCase),
      text_(std::move(text)) {}

ArtifactNotarizationCoordinatorError
ArtifactNotarizationCoordinatorError::verdict(std::string text, std::string id,
                                              std::string status) {
  ArtifactNotarizationCoordinatorError error(Case::notarizationFailed, std::move(text));
  error.submissionID_ = std::move(id);
  error.verdictStatus_ = std::move(status);
  return error;
}

bool ArtifactNotarizationCoordinatorError::isOffline() const {
  return case_ == Case::notarizationFailed && Notary::isOffline(text_);
}

bool ArtifactNotarizationCoordinatorError::isMissingKeychainProfile() const {
  return case_ == Case::notarizationFailed && Notary::isMissingKeychainProfile(text_);
}

bool ArtifactNotarizationCoordinatorError::isUnsignedFile() const {
  return case_ == Case::validationFailed && text_.find("not signed at all") != std::string::npos;
}

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
