#include "core/Signing/SigningIdentityDetector.hpp"

#include <algorithm>

#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolRun.hpp"
#include "core/Signing/SigningIdentityListingError.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

bool SigningIdentityDetector::matches(std::string_view installedName, std::string_view configured) {
  const std::string wanted = text::caseFolded(configured);
  return !wanted.empty() && text::caseFolded(installedName).find(wanted) != std::string::npos;
}

std::optional<std::string>
SigningIdentityDetector::firstMatch(const std::vector<std::string>& installed,
                                    std::string_view configured) {
  const auto found = std::find_if(installed.begin(), installed.end(), [&](const std::string& name) {
    return matches(name, configured);
  });
  if (found == installed.end()) return std::nullopt;
  return *found;
}

std::vector<std::string> SigningIdentityDetector::parseIdentities(std::string_view output,
                                                                  SigningIdentityKind kind) {
  std::vector<std::string> names;
  const auto wanted = prefix(kind);
  size_t lineStart = 0;
  while (lineStart < output.size()) {
    auto lineEnd = output.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = output.size();
    const auto line = output.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;

    const auto first = line.find('"');
    if (first == std::string_view::npos) continue;
    const auto last = line.rfind('"');
    if (last == first) continue;
    const auto name = line.substr(first + 1, last - first - 1);
    if (!name.starts_with(wanted)) continue;
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    names.emplace_back(name);
  }
  return names;
}

SigningIdentityDetector::Listing SigningIdentityDetector::list(SigningIdentityKind kind) {
  Listing listing;
  try {
    const ToolRun query{AppleTools::Runner::identityQuery, timeLimit};
    const auto result =
        query(AppleTools::security, {"find-identity", "-v", "-p", std::string(policy(kind))});
    // The exit status says nothing useful here; only a run that never completed is discarded.
    if (result.status == ToolProcessResult::timedOutStatus) {
      listing.outcome = Listing::Outcome::timedOut;
    } else if (result.status == ToolProcessResult::launchFailedStatus) {
      listing.outcome = Listing::Outcome::notStarted;
      listing.reason = result.standardError;
    } else if (text::isValidUTF8(result.standardOutput)) {
      listing.identities = parseIdentities(result.standardOutput, kind);
    }
  } catch (const std::exception& error) {
    listing.outcome = Listing::Outcome::notStarted;
    listing.reason = error.what();
  }
  return listing;
}

const std::vector<std::string>& SigningIdentityDetector::Listing::installed() const {
  switch (outcome) {
  case Outcome::timedOut:
    throw SigningIdentityListingError(SigningIdentityListingError::Case::timedOut, timeLimit);
  case Outcome::notStarted:
    throw SigningIdentityListingError(SigningIdentityListingError::Case::notStarted, timeLimit,
                                      reason);
  case Outcome::listed:
    break;
  }
  return identities;
}

} // namespace halyard
