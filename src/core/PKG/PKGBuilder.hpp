#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

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
class PKGBuilder {
public:
  using Progress = std::function<void(const std::string&)>;

  static constexpr const char* workspacePrefix = "Halyard_PKG_";

  PKGBuilder() = default;
  PKGBuilder(const PKGBuilder&) = delete;
  PKGBuilder& operator=(const PKGBuilder&) = delete;

  // Builds the package at request.outputURL. `progress` may be empty.
  void build(const PKGBuildRequest& request, const Progress& progress);

  // Removes what a build in progress on this builder has made (the staging folder and a copy
  // being written beside the output) and makes the build stop at its next step. For
  // cancellation: safe to call from any thread, never throws.
  void discardTemporaryFiles() noexcept;

  // Trimmed; empty stays empty; a text naming "Developer ID Installer" (in any case) as it is;
  // anything else, a bare certificate holder name, gets the prefix "Developer ID Installer: ".
  static std::string normalizedInstallerIdentity(std::string_view text);

private:
  // Records a temporary path for discardTemporaryFiles(); stops the build when that already ran.
  void remember(const std::filesystem::path& temporary);
  void stopIfDiscarded() const;

  mutable std::mutex lock_;
  std::vector<std::filesystem::path> temporaries_;
  bool discarded_ = false;
};

} // namespace halyard
