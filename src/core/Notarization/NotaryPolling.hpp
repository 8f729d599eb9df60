#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Notarization/Notary.hpp"
#include "core/Notarization/NotaryCredentials.hpp"
#include "core/Notarization/NotaryLog.hpp"

namespace halyard {

// A submission to the notary service without `notarytool submit --wait`, which can hang long
// after Apple has answered and loses the submission when it is cut off: the file is uploaded,
// the submission's id comes back at once, and `notarytool info ID` is asked for its status on a
// schedule until the status is no longer "In Progress" or the wait reaches its bound. A query
// that fails for a passing reason (a network error, an HTTP 5xx answer, a query that hangs) is
// tried again at the next turn; only `allowedFailures` of them in a row end the wait.
//
// Waiting sleeps until the next query's time; nothing spins. Tools run through the
// notarization runner on the calling thread. Failures are NotaryPollingError; a run being
// cancelled ends the wait with CancellationError.
struct NotaryPolling {
  // The status is "In Progress" until the notary service has decided.
  static constexpr const char* inProgress = "In Progress";

  // Seconds before the first status query, the second, ...; the last one repeats.
  std::vector<double> waits{10, 20, 30};
  // Time limit of one status query, in seconds.
  double queryLimit = 30;
  // Failed queries in a row that end the wait.
  int allowedFailures = 5;
  // Time limit of the upload, in seconds.
  double uploadLimit = 900;

  // The schedule above. Under the stand-in tools (a tool root is in force) the test suite may
  // shorten every wait to BOSUN_TEST_NOTARY_POLL seconds; real runs never read it.
  static NotaryPolling standard();

  // The service's answer about one finished submission.
  struct Verdict {
    std::string id;
    std::string status; // Accepted, Invalid or Rejected, as the service spells it
    // The answer in notarytool's text form ("Processing complete", "  id: …", "  status: …").
    std::string output;

    bool accepted() const;
  };

  // `notarytool submit FILE CREDENTIALS --output-format json`: the new submission's id.
  std::string upload(const std::filesystem::path& file, const NotaryCredentials& credentials) const;

  // One `notarytool info ID` query.
  Notary::Info ask(const std::string& id, const NotaryCredentials& credentials) const;

  // Queries the submission's status until it is decided or `bound` seconds have passed.
  Verdict await(const std::string& id, const NotaryCredentials& credentials, double bound) const;

  // `notarytool log ID`: none while the service has not finished or when the log cannot be had.
  std::optional<NotaryLog> log(const std::string& id, const NotaryCredentials& credentials) const;

  // The SHA-256 of the file uploaded for `id`, from its log (lower-case hex); none while the
  // service has not finished or when the log cannot be had.
  std::optional<std::string> uploadedDigest(const std::string& id,
                                            const NotaryCredentials& credentials) const;
};

} // namespace halyard
