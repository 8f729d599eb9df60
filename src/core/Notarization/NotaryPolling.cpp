#include "core/Notarization/NotaryPolling.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "core/Notarization/AppTicketStapler.hpp"
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

ToolProcessResult notarytool(std::vector<std::string> arguments, double limit) {
  return ProcessRunner::run(
      AppleTools::request(AppleTools::Runner::notarization, AppleTools::xcrun, arguments, limit));
}

std::string stringMember(std::string_view json, const char* key) {
  const auto parsed = nlohmann::json::parse(json, nullptr, false);
  if (!parsed.is_object() || !parsed.contains(key) || !parsed[key].is_string()) return {};
  return text::trimmed(parsed[key].get<std::string>());
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
  return text::lowercasedASCII(status) == "accepted";
}

std::string NotaryPolling::upload(const std::filesystem::path& file,
                                  const NotaryCredentials& credentials) const {
  const auto uploaded =
      notarytool(AppleTools::notarySubmit(file, credentials.arguments()), uploadLimit);
  const std::string output = text::joinedOutput(uploaded.standardError, uploaded.standardOutput);
  if (uploaded.status == ToolProcessResult::timedOutStatus)
    throw NotaryPollingError(
        Case::timedOut,
        orFallback(output, "Timed out while waiting for Apple notarization to finish."));
  std::string id = uploaded.status == 0 ? submissionID(uploaded.standardOutput) : std::string();
  if (id.empty())
    throw NotaryPollingError(Case::uploadFailed,
                             orFallback(output, "Notarytool submission failed."));
  return id;
}

NotaryPolling::Status NotaryPolling::ask(const std::string& id,
                                         const NotaryCredentials& credentials) const {
  auto query = notarytool(AppleTools::notaryInfo(id, credentials.arguments()), queryLimit);
  std::string status = query.status == 0 ? submissionStatus(query.standardOutput) : "";
  return Status{std::move(status), std::move(query)};
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

    auto [status, query] = ask(id, credentials);
    stopWhenCancelled();
    if (!status.empty() && text::lowercasedASCII(status) != "in progress") {
      return Verdict{id, status, "Processing complete\n  id: " + id + "\n  status: " + status};
    }
    if (status.empty()) {
      lastFailure = orFallback(text::joinedOutput(query.standardError, query.standardOutput),
                               "notarytool info failed.");
      if (query.status == 0 || !isTransient(query) || ++failures >= allowedFailures)
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
  const auto result = notarytool(AppleTools::notaryLog(id, credentials.arguments()), queryLimit);
  if (result.status != 0) return std::nullopt;
  return NotaryLog::parse(result.standardOutput);
}

std::string NotaryPolling::submissionID(std::string_view json) {
  return stringMember(json, "id");
}

std::string NotaryPolling::submissionStatus(std::string_view json) {
  return stringMember(json, "status");
}

bool NotaryPolling::isTransient(const ToolProcessResult& query) {
  if (query.status == ToolProcessResult::timedOutStatus) return true;
  const std::string output = text::joinedOutput(query.standardError, query.standardOutput);
  static const std::regex serverError(R"(http status code:?\s*5\d\d)", std::regex::icase);
  return AppTicketStapler::isNetworkFailure(output) || std::regex_search(output, serverError);
}

} // namespace halyard
