#include "core/Notarization/AppBundleNotarizerError.hpp"

#include "core/Support/Text.hpp"

namespace halyard {

AppBundleNotarizerError::AppBundleNotarizerError(std::string step, std::string output)
    : Error(domainName, 0, describe(step, output)), step_(std::move(step)),
      output_(std::move(output)) {}

std::string AppBundleNotarizerError::describe(const std::string& step, const std::string& output) {
  const std::string trimmed = text::trimmed(output);
  return trimmed.empty() ? step + " failed." : step + " failed: " + trimmed;
}

} // namespace halyard
