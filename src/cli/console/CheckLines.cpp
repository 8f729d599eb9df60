#include "cli/console/CheckLines.hpp"

#include <utility>

#include "cli/console/Console.hpp"

namespace bosun {

std::vector<std::string> printCheckLines(Console& console,
                                         const halyard::ReleaseCheckResult& result) {
  std::vector<std::string> problems;
  const std::pair<const char*, const halyard::ReleaseCheckStatus*> checks[] = {
      {"Signing", &result.signing},
      {"Notarization", &result.notarization},
      {"Stapling", &result.stapling},
  };
  for (const auto& [label, status] : checks) {
    if (status->isPassed()) {
      console.check(label, "", Console::Mark::passed);
      continue;
    }
    const auto reason = status->reason().value_or("");
    console.check(label, reason, Console::Mark::failed);
    problems.push_back(std::string(label) + ": " + reason);
  }
  return problems;
}

} // namespace bosun
