#include "core/Notarization/ArtifactNotarizationConfig.hpp"

#include "core/Support/Text.hpp"

namespace halyard {

ArtifactNotarizationConfig::ArtifactNotarizationConfig(std::filesystem::path artifactURL,
                                                       std::optional<std::string> signingIdentity,
                                                       NotaryCredentials credentials,
                                                       ArtifactKind kind)
    : artifactURL(std::move(artifactURL)), signingIdentity(std::move(signingIdentity)),
      credentials(std::move(credentials)), kind(kind) {}

ArtifactNotarizationConfig::ArtifactNotarizationConfig(std::filesystem::path artifactURL,
                                                       std::optional<std::string> signingIdentity,
                                                       const std::string& keychainProfile,
                                                       ArtifactKind kind)
    : ArtifactNotarizationConfig(std::move(artifactURL), std::move(signingIdentity),
                                 NotaryCredentials::keychainProfile(text::trimmed(keychainProfile)),
                                 kind) {}

} // namespace halyard
