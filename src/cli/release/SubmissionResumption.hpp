#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "cli/release/SubmissionCache.hpp"
#include "core/Notarization/NotaryCredentials.hpp"
#include "core/Notarization/NotaryPolling.hpp"

namespace bosun {

// An earlier submission that a notarize run collects instead of signing and uploading again:
// its id and the very file that was uploaded (a kept copy, or the file the user names).
struct SubmissionResumption {
  std::string id;
  std::filesystem::path file;
  bool kept = false; // `file` is the cache's copy

  // `--submission ID` for `input` (finished at `target`): the kept file of that id; without one,
  // `input` itself, whose digest must then be the one Apple received (waiting for the verdict
  // first when the service has not finished: up to `wait` seconds). Throws CLIError: `usage` for
  // an id that cannot be one, `input` for a submission of another file (naming both digests),
  // `timeout` or `notarization` when the verdict cannot be had.
  static SubmissionResumption named(const std::string& id, const std::filesystem::path& input,
                                    const std::filesystem::path& target,
                                    const halyard::NotaryCredentials& credentials,
                                    const halyard::NotaryPolling& polling, double wait,
                                    const SubmissionCache& cache);

  // The kept submission for `target` that the notary service still works on or has accepted,
  // when it was made from the same source (`source` gives the digest of today's, and is asked
  // only when a submission is kept for `target`); a kept one that the service turned down, or
  // that these credentials cannot see, is dropped. One made from another source is left alone:
  // resuming it would put an older file at `target`.
  static std::optional<SubmissionResumption> lookup(const std::filesystem::path& target,
                                                    const std::function<std::string()>& source,
                                                    const halyard::NotaryCredentials& credentials,
                                                    const halyard::NotaryPolling& polling,
                                                    const SubmissionCache& cache);
};

} // namespace bosun
