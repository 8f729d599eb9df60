#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "cli/console/CLIError.hpp"
#include "cli/release/SubmissionCache.hpp"
#include "core/Notarization/ArtifactNotarizationConfig.hpp"
#include "core/Process/CleanupRegistry.hpp"

namespace bosun {

// Follows one file's submission to the notary service for the user, so that it is never lost:
// the submission's id is shown as soon as the upload has it (a step line, and in JSON mode the
// event "submission" with "id" and "file"), and the uploaded file is kept in the SubmissionCache
// from that moment, so that no clean-up can take it away; when the wait ends without a verdict,
// or the run is cancelled after the upload, the user is told the id and how to collect the
// verdict later, and once the submission's story has ended (`finished`) the kept file goes.
class SubmissionTracker {
public:
  // The digest of what the uploaded file is made from (SubmissionRecord::source), asked for
  // when the file is kept.
  using SourceDigest = std::function<std::string()>;

  // `target` is the file the finished result goes to (the one the hint names).
  SubmissionTracker(std::filesystem::path target, SourceDigest source = {},
                    SubmissionCache cache = SubmissionCache());

  // Sets the configuration's `submitted` and `unfinished` hooks to this tracker.
  void attach(halyard::ArtifactNotarizationConfig& config);

  // For a resumed submission: its id is known from the start.
  void resume(const std::string& id);

  // For an app bundle's submission (the tracker's target is the app): records the id and tells
  // it as the JSON event (the notarizer shows the line). Nothing is kept for it, and the hint
  // points at notarytool: a later run signs the app again, which makes another upload.
  void appSubmitted(const std::string& id);

  // The wait ended without a verdict.
  void markUnfinished();

  // For the cancellation clean-up, which calls it from the clean-up registry once the id is known:
  // keeps the uploaded file and prints the id with the hint. Does nothing before the upload.
  void cancelled() noexcept;

  // After a verdict (or any end that was not a wait without one): what was kept for the
  // submission is removed. Nothing when the wait ended without a verdict.
  void finished() noexcept;

  // `error` with the submission's id and the hint when the wait ended without a verdict; else
  // unchanged.
  CLIError withSubmission(CLIError error) const;

  // "Apple keeps working on it; collect the result later with `bosun notarize FILE
  // --submission ID`."
  static std::string hint(const std::filesystem::path& target, const std::string& id);
  // "Apple keeps working on it; ask for its status with `xcrun notarytool info ID` and your
  // notary credentials."
  static std::string appHint(const std::string& id);

  // Whether the wait ended without a verdict.
  bool isUnfinished() const;

  // The submission's id once known.
  std::optional<std::string> id() const;

private:
  void keep(const std::string& id, const std::filesystem::path& uploaded);
  void announce(const std::string& id) const;
  std::string hintFor(const std::string& id) const;
  // Puts cancelled() in the clean-up registry (once).
  void watchForCancellation();

  std::filesystem::path target_;
  SourceDigest source_;
  SubmissionCache cache_;
  mutable std::mutex lock_;
  // Held for a whole `keep`: the poll's end and a cancellation on the signal's thread may both
  // keep the same submission at once, and the second must find the first's file.
  std::mutex keeping_;
  std::optional<std::string> id_;
  std::filesystem::path uploaded_;
  bool unfinished_ = false;
  bool isApp_ = false;
  // Last: let go before the rest of the tracker goes.
  halyard::CleanupRegistry::Entry cancellation_;
};

} // namespace bosun
