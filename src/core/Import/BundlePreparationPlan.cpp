#include "core/Import/BundlePreparationPlan.hpp"

namespace halyard {

namespace {

const char* reasonFor(ImportedAppKind kind, PreparationRequirement requirement) {
  using R = PreparationRequirement;
  switch (kind) {
  case ImportedAppKind::nativeSimple:
    return requirement == R::none ? "Simple native app structure detected. No preparation is "
                                    "required before continuing."
                                  : "Simple native app structure detected. Signature "
                                    "verification is recommended before continuing.";
  case ImportedAppKind::runtimeHeavy:
    return requirement == R::verifyOnly ? "Runtime-heavy nested code was detected. Verification "
                                          "is recommended before continuing."
                                        : "Runtime-heavy nested code was detected. Preparation "
                                          "is recommended before notarization.";
  case ImportedAppKind::electronLike:
    return requirement == R::prepareAndResign
               ? "Electron-like app structure detected with nested runtime content. Preparation "
                 "is recommended before notarization."
               : "Electron-like app structure detected. Verification is recommended before "
                 "continuing.";
  case ImportedAppKind::pythonLike:
    return requirement == R::verifyOnly ? "Python-like embedded runtime content was detected. "
                                          "Verification is recommended before continuing."
                                        : "Python-like embedded runtime content was detected. "
                                          "Preparation is recommended before notarization.";
  case ImportedAppKind::unknownComplex:
    return requirement == R::verifyOnly ? "Complex imported app structure detected. "
                                          "Verification is recommended before continuing."
                                        : "Complex imported app structure detected. Preparation "
                                          "is recommended before notarization.";
  }
  return "";
}

} // namespace

BundlePreparationPlan BundlePreparationPlan::make(const CodeSignScanResult& scan) {
  return {scan.appKind, scan.requirement, reasonFor(scan.appKind, scan.requirement)};
}

} // namespace halyard
