#include "core/Notarization/Stapler.hpp"

#include <vector>

#include "core/Process/AppleTools.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

using text::containsIgnoringCase;

bool Stapler::Validation::validated() const {
  return run.succeeded() && containsIgnoringCase(text(), "worked");
}

bool Stapler::Validation::noTicket() const {
  return containsIgnoringCase(text(), "does not have a ticket stapled");
}

bool Stapler::Stapling::recordNotFound() const {
  return containsIgnoringCase(run.combined(), "record not found");
}

bool Stapler::Stapling::networkFailure() const {
  return isNetworkFailure(run.combined());
}

Stapler::Validation Stapler::validate(const std::filesystem::path& file, const ToolRun& run) {
  return {run(AppleTools::xcrun, {"stapler", "validate", file.string()})};
}

Stapler::Stapling Stapler::staple(const std::filesystem::path& file, const ToolRun& run) {
  return {run(AppleTools::xcrun, {"stapler", "staple", file.string()})};
}

bool Stapler::isNetworkFailure(std::string_view text) {
  for (const char* sign :
       {"internet connection appears to be offline", "nsurlerrordomain",
        "network connection was lost", "timed out", "could not connect", "cannot find host"}) {
    if (containsIgnoringCase(text, sign)) return true;
  }
  return false;
}

} // namespace halyard
