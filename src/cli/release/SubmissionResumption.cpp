#include "cli/release/SubmissionResumption.hpp"

#include "cli/console/CLIError.hpp"
#include "cli/release/SubmissionTracker.hpp"
#include "core/Notarization/NotaryPollingError.hpp"
#include "core/Support/SHA256.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

namespace fs = std::filesystem;

std::string shown(const fs::path& path) {
  return halyard::text::printable(path.filename().string());
}

[[noreturn]] void anotherFile(const std::string& id, const fs::path& file,
                              const std::string& received, const std::string& given) {
  throw CLIError(ExitCode::input,
                 "Submission " + id + " is not of " + shown(file) +
                     ": Apple received a file with SHA-256 " + received + ", " + shown(file) +
                     " has SHA-256 " + given + ".",
                 "Name the file that was submitted, or leave out --submission to submit this one.");
}

std::string digestOf(const fs::path& file) {
  try {
    return halyard::SHA256::hexDigestOfFile(file);
  } catch (const std::exception& error) {
    throw CLIError(ExitCode::input, "Could not read " + file.string() + ": " + error.what());
  }
}

bool isKeptFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

} // namespace

SubmissionResumption SubmissionResumption::named(const std::string& id, const fs::path& input,
                                                 const fs::path& target,
                                                 const halyard::NotaryCredentials& credentials,
                                                 const halyard::NotaryPolling& polling, double wait,
                                                 const SubmissionCache& cache) {
  if (!SubmissionCache::isSubmissionID(id)) {
    throw CLIError(ExitCode::usage,
                   "\"" + halyard::text::printable(id) + "\" is not a submission id.",
                   "Use the id bosun printed, for example 2efe2717-52ef-43a5-96dc-0797e4ca1041.");
  }
  if (const auto record = cache.find(id); record && isKeptFile(record->file)) {
    if (record->target != target && record->target != input)
      anotherFile(id, input, record->sha256, digestOf(input));
    return {id, record->file, true};
  }

  // Nothing kept: the file named must be the one uploaded, which Apple's log tells once the
  // service has finished with it.
  auto digest = polling.uploadedDigest(id, credentials);
  if (!digest) {
    auto atOnce = polling;
    atOnce.waits.insert(atOnce.waits.begin(), 0);
    try {
      atOnce.await(id, credentials, wait);
    } catch (const halyard::NotaryPollingError& error) {
      const bool timedOut = error.errorCase() == halyard::NotaryPollingError::Case::timedOut;
      throw CLIError(timedOut ? ExitCode::timeout : ExitCode::notarization,
                     (timedOut ? error.text() : "Notarization failed: " + error.text()) +
                         " Submission " + id + ".",
                     SubmissionTracker::hint(target, id));
    }
    digest = polling.uploadedDigest(id, credentials);
  }
  if (!digest) {
    throw CLIError(ExitCode::notarization,
                   "Apple's log of submission " + id + " does not say which file it received.",
                   "Check the id with `xcrun notarytool info " + id + "`.");
  }
  const std::string given = digestOf(input);
  if (*digest != given) anotherFile(id, input, *digest, given);
  return {id, input, false};
}

std::optional<SubmissionResumption>
SubmissionResumption::lookup(const fs::path& target, const std::function<std::string()>& source,
                             const halyard::NotaryCredentials& credentials,
                             const halyard::NotaryPolling& polling, const SubmissionCache& cache) {
  const auto record = cache.findForTarget(target);
  if (!record) return std::nullopt;
  if (!isKeptFile(record->file)) {
    cache.remove(record->id);
    return std::nullopt;
  }
  if (record->source.empty()) return std::nullopt;
  try {
    if (record->source != source()) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  const auto answer = polling.ask(record->id, credentials);
  // A query that failed for a passing reason says nothing against the submission: the wait
  // rides it out like any other.
  if (answer.inProgress() || answer.accepted() || answer.failedForNow())
    return SubmissionResumption{record->id, record->file, true};
  cache.remove(record->id);
  return std::nullopt;
}

} // namespace bosun
