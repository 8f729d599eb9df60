#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Support/Error.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace halyard {

// The newest release on the maker's update server, as its manifest describes it, and the
// verified download of its command.
//
// The server's base address is fixed at build time and may be replaced with BOSUN_UPDATE_URL;
// the manifest is BASE/Bosun/latest.json and the disk image BASE/Bosun/Bosun.dmg. All requests go
// through HTTPSClient (HTTPS only, certificates always verified).
struct BosunRelease {
  // The maker's team: a downloaded command must be signed by a Developer ID certificate of this
  // team, checked by codesign against a requirement anchored at Apple's root.
  static constexpr const char* teamIdentifier = "K7Q2M9X4PZ";
  static constexpr const char* defaultServer = "https://updates.bosun.example.com";
  // The largest manifest and disk image accepted.
  static constexpr std::uintmax_t manifestLimit = 1024 * 1024;
  static constexpr std::uintmax_t imageLimit = 512ull * 1024 * 1024;

  // Every failure of the update: domain "Halyard.update", one message for the user.
  class Failure : public Error {
  public:
    enum class Kind { server = 1, download, checksum, image, signature };
    Failure(Kind kind, const std::string& message)
        : Error("Halyard.update", static_cast<int>(kind), message), kind_(kind) {}
    Kind kind() const noexcept { return kind_; }
    std::string message() const { return what(); }

  private:
    Kind kind_;
  };

  // The command checked by downloadVerifiedBinary, inside the temporary folder that holds it
  // (removed when this value goes away).
  struct VerifiedBinary {
    TemporaryFolder folder;
    std::filesystem::path file;
  };

  std::string version;
  std::string sha256;
  std::optional<std::string> notes;
  std::optional<std::string> minimumSystemVersion;
  std::optional<std::vector<std::string>> architectures;

  // The manifest's JSON; throws Failure (server) when it does not decode.
  static BosunRelease decode(std::string_view json);

  static std::string serverURL();
  static std::string manifestURL();
  static std::string imageURL();

  // One GET of the manifest (20 s time-out). Anything but HTTP 200 with a manifest that decodes
  // throws Failure "The Bosun update server did not respond.". The cause goes to the debug hook
  // unless `reportDetails` is false (the background check is silent).
  static BosunRelease fetchLatest(bool reportDetails = true);

  // Downloads the disk image into a fresh "Halyard_Bosun_" folder, checks its SHA-256 against
  // the manifest, copies the bosun command out of the attached image (always detached again) and
  // checks the copy's signature against the maker's team. Throws Failure with the message for
  // the step that failed; the temporary folder is gone by then. `folderCreated` learns the
  // folder's path first (the front end removes it when the run is cancelled).
  static VerifiedBinary downloadVerifiedBinary(
      const BosunRelease& release,
      const std::function<void(const std::filesystem::path&)>& folderCreated = {});

  // The codesign requirement a downloaded command must satisfy.
  static std::string signingRequirement();
};

} // namespace halyard
