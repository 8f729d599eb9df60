#include "core/Legal/LicenseAgreement.hpp"

#include "core/Legal/LicenseDocumentLocator.hpp"

namespace halyard {

std::vector<std::filesystem::path>
LicenseAgreement::documentURLs(const std::filesystem::path& folder,
                               const std::set<LicenseDocumentKind>& enabledKinds) {
  std::vector<std::filesystem::path> urls;
  for (const auto& match : LicenseDocumentLocator::scan(folder)) {
    if (enabledKinds.count(match.kind) != 0) urls.push_back(match.url);
  }
  return urls;
}

} // namespace halyard
