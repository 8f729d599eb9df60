#pragma once

#include <filesystem>
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
};

} // namespace halyard
