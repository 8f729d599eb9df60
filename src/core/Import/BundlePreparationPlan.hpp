#pragma once

#include <string>

#include "core/Import/CodeSignScanResult.hpp"

namespace halyard {

// What a scan asks for, with the one-line reason shown to the user.
struct BundlePreparationPlan {
  ImportedAppKind appKind = ImportedAppKind::nativeSimple;
  PreparationRequirement requirement = PreparationRequirement::none;
  std::string reason;

  static BundlePreparationPlan make(const CodeSignScanResult& scan);
};

} // namespace halyard
