#include "core/Import/ImportPreparationManager.hpp"

#include <sys/stat.h>

#include "core/Import/BundlePreparationPlan.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

ImportPreparationManager& ImportPreparationManager::shared() {
  static ImportPreparationManager manager;
  return manager;
}

PreparedImportReport ImportPreparationManager::prepareImportedAppIfNeeded(
    const std::filesystem::path& appURL, const std::optional<std::string>& signingIdentity,
    const std::optional<CodeSignScanResult>& precomputedScanResult,
    const Progress& progress) const {
  if (progress) progress("Scanning app bundle…");
  struct stat info {};
  if (::lstat(appURL.c_str(), &info) != 0) throw ImportPreparationError::fileNotFound(appURL);

  const CodeSignScanResult scan =
      precomputedScanResult ? *precomputedScanResult : scanner.scanBundle(appURL, progress);
  const auto plan = BundlePreparationPlan::make(scan);

  PreparedImportReport report;
  report.appURL = appURL;
  report.appKind = scan.appKind;
  report.requirement = plan.requirement;
  report.nestedExecutableCount = scan.nestedExecutableCount;
  report.frameworkCount = scan.frameworkCount;
  report.dylibCount = scan.dylibCount;
  report.pluginCount = scan.pluginCount;
  report.helperCount = scan.helperCount;
  report.issues = scan.issues;
  report.performedSteps = {"Scanned app bundle", plan.reason};

  auto adopt = [&](PreparationExecutionResult result) {
    report.appURL = result.preparedAppURL;
    report.workingCopyFolder = result.workingCopyFolder;
    report.issues.insert(report.issues.end(), result.warnings.begin(), result.warnings.end());
    report.performedSteps.insert(report.performedSteps.end(), result.performedSteps.begin(),
                                 result.performedSteps.end());
    report.isReadyForNextStep = result.verifiedSuccessfully;
  };

  switch (plan.requirement) {
  case PreparationRequirement::none:
    if (progress) progress("No extra preparation needed.");
    report.performedSteps.emplace_back("No preparation required");
    report.isReadyForNextStep = true;
    break;
  case PreparationRequirement::verifyOnly:
    if (progress) progress("Verifying imported app…");
    adopt(engine.verifyOnly(appURL, progress));
    break;
  case PreparationRequirement::prepareAndResign: {
    const auto identity = text::trimmed(signingIdentity.value_or(""));
    if (identity.empty()) throw ImportPreparationError::signingIdentityRequired();
    adopt(engine.prepare(appURL, identity, progress));
    break;
  }
  }
  return report;
}

} // namespace halyard
