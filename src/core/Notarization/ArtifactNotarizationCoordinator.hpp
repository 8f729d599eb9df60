#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Notarization/ArtifactKind.hpp"
#include "core/Notarization/ArtifactNotarizationConfig.hpp"
#include "core/Notarization/ArtifactNotarizationResult.hpp"
#include "core/Notarization/NotaryPolling.hpp"
#include "core/Notarization/TicketPropagation.hpp"
#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// Carries one finished DMG or PKG through signing, a signature check,
// submission to the notary service with waiting, stapling and validation, and
// leaves the notarized, stapled file where it was (or at the configured
// destination). Short progress lines go to a callback; a detailed trace, every
// line beginning with "[ArtifactNotarization] ", goes to the debug hook of
// HalyardCoreLog.
//
// The original is never changed before validation has passed: a DMG (or a PKG
// kept with its signature) is copied into a private working folder beside the
// destination, processed there and renamed over the destination at the end. A
// PKG to be signed is signed into a temporary copy (productsign cannot sign in
// place), and that copy is written beside the destination and renamed over it
// once validated.
//
// The tools run one after the other on the calling thread through the
// coordinator's own runner: 900 seconds each, then SIGTERM, 0.25 second,
// SIGKILL. The submission is uploaded without waiting and its status is then
// queried (NotaryPolling) until the configured wait runs out. Construct one coordinator per run.
// Errors are ArtifactNotarizationCoordinatorError; the first failing step ends the run.
class ArtifactNotarizationCoordinator {
public:
  using Progress = std::function<void(const std::string&)>;

  static constexpr double processTimeout = 900;
  static constexpr double terminationWait = 0.25;
  static constexpr const char* temporaryFolderName = "Halyard_ArtifactSigning";

  // A staple that finds no record right after the acceptance is tried again
  // with the waits of `propagation`.
  explicit ArtifactNotarizationCoordinator(TicketPropagation propagation = {},
                                           NotaryPolling polling = NotaryPolling::standard())
      : propagation_(std::move(propagation)), polling_(std::move(polling)) {}
  ArtifactNotarizationCoordinator(const ArtifactNotarizationCoordinator&) = delete;
  ArtifactNotarizationCoordinator& operator=(const ArtifactNotarizationCoordinator&) = delete;

  // The whole flow for the configured kind. `progress` may be empty; it is
  // called from the calling thread.
  ArtifactNotarizationResult run(const ArtifactNotarizationConfig& config,
                                 const Progress& progress);

  // Checks an existing file without changing it: its signature, then its staple
  // and Gatekeeper (DMG) or package signature (PKG) validation. Returns the two
  // outputs, empty ones left out, separated by a blank line.
  std::string checkStatus(const std::filesystem::path& file, ArtifactKind kind,
                          const Progress& progress);

  // The kind by the file's extension (case-insensitive); anything but .dmg and
  // .pkg throws unsupportedArtifactType.
  static ArtifactKind detectArtifactKind(const std::filesystem::path& file);

  // The coordinators' runner: never throws; -1 when the tool cannot start, -2
  // at the time limit (900 seconds, then SIGTERM, 0.25 second, SIGKILL).
  static ToolProcessResult runTool(const std::string& executable,
                                   const std::vector<std::string>& arguments);

private:
  class TemporaryFile;

  ArtifactNotarizationResult notarizeDMG(const ArtifactNotarizationConfig& config,
                                         const std::filesystem::path& file,
                                         const std::filesystem::path& destination,
                                         const Progress& progress);
  ArtifactNotarizationResult notarizePKG(const ArtifactNotarizationConfig& config,
                                         const std::filesystem::path& file,
                                         const std::filesystem::path& destination,
                                         const Progress& progress);
  // A copy of `file` in a fresh private folder beside `destination`, named like the destination;
  // the folder goes when the returned owner does (and on a cancellation's clean-up).
  class WorkingCopy;
  void replaceOriginal(const std::filesystem::path& working, const std::filesystem::path& original);

  // The tool steps.
  std::string verifyDMGSignature(const std::filesystem::path& file);
  std::string checkPKGSignature(const std::filesystem::path& file);
  // Uploads the file (unless the configuration names an earlier submission) and waits for the
  // verdict: the notary's answer on acceptance; `timeout` at the wait's bound,
  // `notarizationFailed` for a failed upload, failing status queries or a verdict other than
  // Accepted (with the submission's id and status in the text).
  std::string submit(const std::filesystem::path& file, const ArtifactNotarizationConfig& config);
  std::string staple(const std::filesystem::path& file, const Progress& progress);
  std::string validate(const std::filesystem::path& file, ArtifactKind kind);
  std::string digest(const std::filesystem::path& file);

  TicketPropagation propagation_;
  NotaryPolling polling_;
};

} // namespace halyard
