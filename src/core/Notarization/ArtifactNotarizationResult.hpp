#pragma once

#include <filesystem>
#include <string>

#include "core/Notarization/ArtifactKind.hpp"

namespace halyard {

// What one run of the artifact coordinator did, with every tool's output for callers to show or
// keep.
struct ArtifactNotarizationResult {
  // Always the configured file: the coordinator updates it in place.
  std::filesystem::path finalArtifactURL;
  ArtifactKind kind = ArtifactKind::dmg;
  // The signing tool's output (or the note that a PKG kept its signature) and the signature
  // check's output, empty ones left out, separated by a blank line.
  std::string signingOutput;
  std::string notarizationOutput;
  std::string staplingOutput;
  // Possibly followed by the note that validation timed out after stapling.
  std::string validationOutput;
};

} // namespace halyard
