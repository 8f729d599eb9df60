#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Notarization/NotaryCredentials.hpp"
#include "core/Notarization/NotaryPolling.hpp"
#include "core/Notarization/TicketPropagation.hpp"
#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

struct BundleNotarizationResult {
  bool appWasNotarized = false;
  bool appWasStapled = false;
  bool dmgWasNotarized = false;
  bool dmgWasStapled = false;
  std::optional<std::string> appValidationOutput; // absent when the app was not notarized
  std::optional<std::string> dmgValidationOutput;
};

// The whole flow for an app shipped in a DMG: notarize, staple and validate the app, rebuild
// the DMG from the stapled app through the caller's builder, then notarize, staple and validate
// the DMG. The DMG that was there is replaced only by a complete new one: the builder writes
// beside it and the result is renamed over it. Staples that follow an accepted submission of
// this run wait for the ticket to propagate (TicketPropagation).
//
// Tools run one after the other on the calling thread through the artifact coordinator's
// runner (900 seconds each, then SIGTERM, 0.25 second, SIGKILL). Errors are
// BundleNotarizationCoordinatorError, the builder's own errors pass through. Construct one
// coordinator per run.
class BundleNotarizationCoordinator {
public:
  using Progress = std::function<void(const std::string&)>;

  struct Config {
    std::filesystem::path importedAppURL;
    std::filesystem::path dmgURL;
    NotaryCredentials credentials;
    bool shouldNotarizeBundle = true;

    Config(std::filesystem::path importedAppURL, std::filesystem::path dmgURL,
           NotaryCredentials credentials, bool shouldNotarizeBundle);
    // The profile name is trimmed of white space and line breaks.
    Config(std::filesystem::path importedAppURL, std::filesystem::path dmgURL,
           const std::string& keychainProfile, bool shouldNotarizeBundle);
  };

  struct Dependencies {
    // Builds a DMG from the app (first argument) at the given free path beside the previous
    // DMG (second argument) and returns the path of the DMG it built. Called on the thread
    // that runs the coordinator; may throw.
    std::function<std::filesystem::path(const std::filesystem::path& app,
                                        const std::filesystem::path& destination)>
        exportDMGFromPreparedApp;
  };

  static constexpr double processTimeout = 900;
  static constexpr const char* temporaryFolderPrefix = "Halyard_AppNotary_";
  static constexpr const char* appValidationTimeoutNote =
      "Application bundle validation timed out after notarization. Halyard will continue "
      "because notarization and stapling already completed.";
  static constexpr const char* dmgValidationTimeoutNote =
      "DMG validation timed out after notarization. Halyard will continue because notarization "
      "and stapling already completed.";

  explicit BundleNotarizationCoordinator(Dependencies dependencies,
                                         TicketPropagation propagation = {},
                                         NotaryPolling polling = NotaryPolling::standard());
  BundleNotarizationCoordinator(const BundleNotarizationCoordinator&) = delete;
  BundleNotarizationCoordinator& operator=(const BundleNotarizationCoordinator&) = delete;

  // `progress` may be empty; it is called from the calling thread.
  BundleNotarizationResult run(const Config& config, const Progress& progress);

  // How the validation of an app (spctl --type exec) or a DMG (spctl --type open) is judged from
  // the runs of `stapler validate` and `spctl`: a time-out of either is no failure (the note
  // follows the outputs); otherwise both must have passed, else validationFailed.
  static std::string validationOutput(bool app, const ToolProcessResult& staple,
                                      const ToolProcessResult& assessment);

private:
  void notarizeApp(const std::filesystem::path& app, const NotaryCredentials& credentials,
                   const Progress& progress);
  void rebuildDMG(const std::filesystem::path& app, const std::filesystem::path& dmg,
                  const Progress& progress);
  std::string submit(const std::filesystem::path& file, const NotaryCredentials& credentials);
  void staple(const std::filesystem::path& file, const Progress& progress);
  std::string validate(const std::filesystem::path& file, bool app);

  Dependencies dependencies_;
  TicketPropagation propagation_;
  NotaryPolling polling_;
};

} // namespace halyard
