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
  // notarizationFailed by the notary service's verdict on submission `id` (its `status`, such as
  // "Invalid"); `text` is the verdict in notarytool's words.
  static ArtifactNotarizationCoordinatorError verdict(std::string text, std::string id,
                                                      std::string status);

  Case errorCase() const noexcept { return case_; }
  // The payload (empty for missingArtifact).
  const std::string& text() const noexcept { return text_; }
  // For a verdict: the submission and its status; empty otherwise.
  const std::string& submissionID() const noexcept { return submissionID_; }
  const std::string& verdictStatus() const noexcept { return verdictStatus_; }

  // What the tools' words say about the failure, so that callers need not read them:
  // notarytool could not reach the service (no network connection),
  bool isOffline() const;
  // notarytool found no keychain item for the profile (the credentials are missing),
  bool isMissingKeychainProfile() const;
  // the file to validate carries no signature at all.
  bool isUnsignedFile() const;

  // The user-facing description of a case with its text.
  static std::string describe(Case errorCase, const std::string& text);

private:
  Case case_;
  std::string text_;
  std::string submissionID_;
  std::string verdictStatus_;
};

} // namespace halyard
