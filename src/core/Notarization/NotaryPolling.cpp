#include "core/Notarization/NotaryPolling.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/Notarization/NotaryPollingError.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/CancellationError.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/ToolRoot.hpp"

namespace halyard {

namespace {

using Clock = std::chrono::steady_clock;
using Case = NotaryPollingError::Case;

// notarytool runs through the notarization runner with this time limit.
ToolRun notarization(double limit) {
  return {AppleTools::Runner::notarization, limit};
}

std::string orFallback(std::string text, const char* fallback) {
  return text.empty() ? std::string(fallback) : text;
}

void stopWhenCancelled() {
  ProcessRegistry::shared().stopIfCancelling();
}

} // namespace

NotaryPolling NotaryPolling::standard() {
  NotaryPolling polling;
  if (!ToolRoot::isActive()) return polling;
  if (const char* value = std::getenv("BOSUN_TEST_NOTARY_POLL"); value != nullptr) {
    const double seconds = std::strtod(value, nullptr);
    if (seconds > 0) polling.waits = {seconds};
  }
  return polling;
}

bool NotaryPolling::Verdict::accepted() const {
  return Notary::isAccepted(status);
}

std::string NotaryPolling::upload(const std::filesystem::path& file,
                                  const NotaryCredentials& credentials) const {
  auto [uploaded, id] = Notary::submit(file, credentials, notarization(uploadLimit));
  const std::string output = text::joinedOutput(uploaded.standardError, uploaded.standardOutput);
  if (uploaded.status == ToolProcessResult::timedOutStatus)
    throw NotaryPollingError(
        Case::timedOut,
        orFallback(output, "Timed out while waiting for Apple notarization to finish."));
  if (id.empty())
    throw NotaryPollingError(Case::uploadFailed,
                             orFallback(output, "Notarytool submission failed."));
  return id;
}

Notary::Info NotaryPolling::ask(const std::string& id, const NotaryCredentials& credentials) const {
  return Notary::info(id, credentials, notarization(queryLimit));
}

NotaryPolling::Verdict NotaryPolling::await(const std::string& id,
                                            const NotaryCredentials& credentials,
                                            double bound) const {
  const auto seconds = [](double value) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value));
  };
  const auto deadline = Clock::now() + seconds(std::max(0.0, bound));
  int failures = 0;
  std::string lastFailure;
  for (size_t turn = 0;; ++turn) {
    const double wait = waits.empty() ? 0 : waits[std::min(turn, waits.size() - 1)];
    // Counted from the end of the previous query, so a slow query never makes the next one
    // follow at once. The last query is made at the bound itself, so that a verdict that came
    // just in time still counts.
    std::this_thread::sleep_until(std::min(Clock::now() + seconds(wait), deadline));
    stopWhenCancelled();

    const auto answer = ask(id, credentials);
    stopWhenCancelled();
    const std::string& status = answer.status;
    if (!status.empty() && !answer.inProgress()) {
      return Verdict{id, status, "Processing complete\n  id: " + id + "\n  status: " + status};
    }
    if (status.empty()) {
      const auto& query = answer.run;
      lastFailure = orFallback(text::joinedOutput(query.standardError, query.standardOutput),
                               "notarytool info failed.");
      if (query.status == 0 || !answer.failedForNow() || ++failures >= allowedFailures)
        throw NotaryPollingError(Case::queryFailed, lastFailure, id);
    } else {
      failures = 0;
    }
    if (Clock::now() >= deadline)
      throw NotaryPollingError(Case::timedOut,
                               "Timed out while waiting for Apple notarization to finish.", id);
  }
}

std::optional<std::string>
NotaryPolling::uploadedDigest(const std::string& id, const NotaryCredentials& credentials) const {
  const auto found = log(id, credentials);
  if (!found || found->sha256.empty()) return std::nullopt;
  return found->sha256;
}

std::optional<NotaryLog> NotaryPolling::log(const std::string& id,
                                            const NotaryCredentials& credentials) const {
  return Notary::log(id, credentials, notarization(queryLimit));
}

} // namespace halyard
