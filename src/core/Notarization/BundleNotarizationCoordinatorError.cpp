#include "core/Notarization/BundleNotarizationCoordinatorError.hpp"

namespace halyard {

BundleNotarizationCoordinatorError::BundleNotarizationCoordinatorError(Case errorCase,
                                                                       std::string text)
    : Error(domainName, static_cast<int>(errorCase), describe(errorCase, text)), case_(errorCase),
      text_(std::move(text)) {}

std::string BundleNotarizationCoordinatorError::describe(Case errorCase, const std::string& text) {
  switch (errorCase) {
  case Case::submitFailed:
    return "Notarization submission failed: " + text;
  case Case::waitFailed:
    return "Waiting for notarization failed: " + text;
  case Case::stapleFailed:
    return "Stapling failed: " + text;
  case Case::validationFailed:
    return "Validation failed: " + text;
  case Case::rebuildRequired:
    return text;
  case Case::archiveCreationFailed:
    return "App archive creation failed: " + text;
  case Case::appURLMissing:
    return "The imported application bundle could not be found.";
  case Case::dmgURLMissing:
    return "The DMG file could not be found.";
  case Case::keychainProfileMissing:
    return "Notary credentials (a keychain profile or an App Store Connect API key) are required "
           "before notarization can continue.";
  }
  return text;
}

} // namespace halyard
