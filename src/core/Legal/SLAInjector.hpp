#pragma once

#include <filesystem>

#include "core/Legal/LicenseAgreement.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// Stores a license agreement in a finished disk image with `hdiutil udifrez`, so that the system
// shows it before the image is mounted.
struct SLAInjector {
  class InjectionError : public Error {
  public:
    static constexpr const char* domainName = "Halyard.slaInjection";
    enum Code { dmgNotFound = 1 };
    static InjectionError notFound(const std::filesystem::path& dmg) {
      return InjectionError(dmgNotFound, "DMG not found at path: " + dmg.string());
    }

  private:
    InjectionError(Code code, const std::string& description)
        : Error(domainName, code, description) {}
  };

  // The resource list is written to "sla.plist" in a private "Halyard_SLA_<UUID>" folder that is
  // removed on every path. The tool works on a copy beside the image that replaces it by rename
  // only when the tool succeeded, so a failure or an interruption leaves the image as it was.
  // Throws InjectionError when no file is at `dmg` (nothing else is touched then),
  // SLAResourceBuilder::BuildError, CoreCommandError for a failed or timed-out tool, and
  // halyard::Error (domain "Halyard.slaInjection", code errno) when the copy cannot be made or put
  // in place.
  static void inject(const LicenseAgreement& agreement, const std::filesystem::path& dmg);
};

} // namespace halyard
