#pragma once

#include <string_view>

namespace halyard {

// The two kinds of finished file the artifact coordinator carries through notarization.
enum class ArtifactKind { dmg, pkg };

// "dmg" or "pkg", as the trace and JSON show the kind.
constexpr std::string_view artifactKindName(ArtifactKind kind) {
  return kind == ArtifactKind::dmg ? "dmg" : "pkg";
}

} // namespace halyard
