#include "core/Notarization/Notary.hpp"

#include <nlohmann/json.hpp>
#include <regex>
#include <vector>

#include "core/Notarization/Stapler.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

ToolProcessResult notarytool(std::vector<std::string> arguments,
                             const NotaryCredentials& credentials, const ToolRun& run,
                             std::vector<std::string> options) {
  arguments.insert(arguments.begin(), "notarytool");
  const auto authentication = credentials.arguments();
  arguments.insert(arguments.end(), authentication.begin(), authentication.end());
  arguments.insert(arguments.end(), options.begin(), options.end());
  return run(AppleTools::xcrun, arguments);
}

// A text member of a JSON answer on standard output, trimmed; empty unless the run exited 0 and
// printed an object holding one.
std::string answered(const ToolProcessResult& run, const char* key) {
  if (!run.succeeded()) return {};
  const auto parsed = nlohmann::json::parse(run.standardOutput, nullptr, false);
  if (!parsed.is_object() || !parsed.contains(key) || !parsed[key].is_string()) return {};
  return text::trimmed(parsed[key].get<std::string>());
}

} // namespace

Notary::Submission Notary::submit(const std::filesystem::path& file,
                                  const NotaryCredentials& credentials, const ToolRun& run,
                                  Wait wait) {
  std::vector<std::string> options;
  if (wait == Wait::yes) options.push_back("--wait");
  options.insert(options.end(), {"--output-format", "json"});
  auto submitted = notarytool({"submit", file.string()}, credentials, run, std::move(options));
  std::string id = answered(submitted, "id");
  return {std::move(submitted), std::move(id)};
}

bool Notary::Info::inProgress() const {
  return text::lowercasedASCII(status) == "in progress";
}

bool Notary::Info::failedForNow() const {
  if (!status.empty()) return false;
  if (run.status == ToolProcessResult::timedOutStatus) return true;
  const std::string output = text::joinedOutput(run.standardError, run.standardOutput);
  static const std::regex serverError(R"(http status code:?\s*5\d\d)", std::regex::icase);
  return Stapler::isNetworkFailure(output) || std::regex_search(output, serverError);
}

Notary::Info Notary::info(const std::string& id, const NotaryCredentials& credentials,
                          const ToolRun& run) {
  auto query = notarytool({"info", id}, credentials, run, {"--output-format", "json"});
  std::string status = answered(query, "status");
  return {std::move(query), std::move(status)};
}

std::optional<NotaryLog> Notary::log(const std::string& id, const NotaryCredentials& credentials,
                                     const ToolRun& run) {
  const auto result = notarytool({"log", id}, credentials, run, {});
  if (!result.succeeded()) return std::nullopt;
  return NotaryLog::parse(result.standardOutput);
}

ToolProcessResult Notary::history(const NotaryCredentials& credentials, const ToolRun& run) {
  return notarytool({"history"}, credentials, run, {"--output-format", "json"});
}

ToolProcessResult Notary::storeCredentials(const std::string& name,
                                           const std::optional<std::string>& appleID,
                                           const std::optional<std::string>& teamID,
                                           const ToolRun& run) {
  std::vector<std::string> arguments{"notarytool", "store-credentials", name};
  if (appleID && !appleID->empty()) arguments.insert(arguments.end(), {"--apple-id", *appleID});
  if (teamID && !teamID->empty()) arguments.insert(arguments.end(), {"--team-id", *teamID});
  return run(AppleTools::xcrun, arguments);
}

bool Notary::isAccepted(std::string_view status) {
  return text::lowercasedASCII(status) == "accepted";
}

bool Notary::isOffline(std::string_view output) {
  return text::contains(output, "NSURLErrorDomain") && text::contains(output, "-1009");
}

bool Notary::isMissingKeychainProfile(std::string_view output) {
  return text::contains(output, "No Keychain password item found");
}

} // namespace halyard
