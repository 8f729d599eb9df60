#pragma once

#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// Why the artifact coordinator stopped. The description is a fixed prefix followed by the text
// (mostly the failing tool's own words), the text alone, or a fixed sentence for a missing file.
// As a halyard::Error its domain is `domainName` and its code the case's number.
class ArtifactNotarizationCoordinatorError : public Error {
public:
  enum class Case {
    unsupportedArtifactType,
    signingFailed,
    notarizationFailed,
    staplingFailed,
    validationFailed,
    timeout,
    missingArtifact,
  };

  static constexpr const char* domainName = "Halyard.artifactNotarization";

  ArtifactNotarizationCoordinatorError(Case errorCase, std::string text = {});

  Case errorCase() const noexcept { return case_; }
  // The payload (empty for missingArtifact).
  const std::string& text() const noexcept { return text_; }

  // The user-facing description of a case with its text.
  static std::string describe(Case errorCase, const std::string& text);

private:
  Case case_;
  std::string text_;
};

} // namespace halyard
