#pragma once

#include <filesystem>
#include <set>
#include <vector>

#include "core/Legal/LicenseDocumentKind.hpp"

namespace halyard {

// The license agreement of a release.
struct LicenseAgreement {
  // The license documents of the enabled kinds in a folder, in any language, in scan order
  // (LicenseDocumentLocator::scan). Used to list a release folder's legal documents.
  static std::vector<std::filesystem::path>
  documentURLs(const std::filesystem::path& folder,
               const std::set<LicenseDocumentKind>& enabledKinds);
};

} // namespace halyard
