#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/Notarization/ArtifactKind.hpp"
#include "core/Notarization/NotaryCredentials.hpp"

namespace halyard {

// What the artifact coordinator is asked to do: which file, of which kind,
// signed with which identity (none or blank: keep the file's signature),
// notarized with which credentials.
struct ArtifactNotarizationConfig {
  ArtifactNotarizationConfig(std::filesystem::path artifactURL,
                             std::optional<std::string> signingIdentity,
                             NotaryCredentials credentials, ArtifactKind kind);
  // The same with a keychain profile's name, trimmed of white space and line
  // breaks.
  ArtifactNotarizationConfig(std::filesystem::path artifactURL,
                             std::optional<std::string> signingIdentity,
                             const std::string& keychainProfile, ArtifactKind kind);

  std::filesystem::path artifactURL;
  // DMG: a Developer ID Application identity. PKG: a Developer ID Installer
  // identity, its full name or only the part after "Developer ID Installer: ".
  std::optional<std::string> signingIdentity;
  NotaryCredentials credentials;
  ArtifactKind kind;
  // Where the finished file goes; empty: back over artifactURL. The file at artifactURL is only
  // read when this names another file, and whatever sits here is replaced only once every step
  // has passed.
  std::filesystem::path destination;

  // The longest wait for the notary service's verdict after the upload, in seconds.
  double notaryWait = 900;
  // Collect this earlier submission instead of signing and uploading: artifactURL must be the
  // very file that was uploaded then.
  std::optional<std::string> submissionID;

  // Told the submission's id and the uploaded file right after the upload (before any wait).
  using SubmissionHook =
      std::function<void(const std::string& id, const std::filesystem::path& uploadedFile)>;
  SubmissionHook submitted;
  // Told when the wait ends without a verdict (its bound, status queries that kept failing),
  // while the uploaded file still exists, just before the run fails.
  SubmissionHook unfinished;
};

} // namespace halyard
