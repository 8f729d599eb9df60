#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/PKG/PKGBuildRequest.hpp"

namespace halyard {

// Turns one prepared app bundle into a flat installer package that installs it into
// /Applications (never relocated onto a copy found elsewhere), limited to the app's host
// architectures and minimum system, with a license per localisation and, when asked, signed
// with a Developer ID Installer identity.
//
// The work happens in a staging folder "Halyard_PKG_<UUID>" in the temporary directory, which
// is removed when the build ends, however it ends. The finished product is copied beside the
// output and renamed over it, so a failure never loses a package that was already there.
// Tools (ditto, pkgbuild, lipo, productbuild) run through the shared runner on the calling
// thread. Errors: PKGBuilderError for a failing tool or an unsafe name, file-system errors as
// they are. Construct one builder per build.
struct PKGBuilder {
  using Progress = std::function<void(const std::string&)>;

  static constexpr const char* workspacePrefix = "Halyard_PKG_";

  // Builds the package at request.outputURL. `progress` may be empty. What the build makes on
  // the way is in the clean-up registry while it lasts; once a cancellation has begun, the
  // build stops at its next step with CancellationError.
  static void build(const PKGBuildRequest& request, const Progress& progress);

  // Trimmed; empty stays empty; a text naming "Developer ID Installer" (in any case) as it is;
  // anything else, a bare certificate holder name, gets the prefix "Developer ID Installer: ".
  static std::string normalizedInstallerIdentity(std::string_view text);
};

} // namespace halyard
