#include "core/Inspection/AppBundleLocator.hpp"
#include "core/Inspection/AppEntitlements.hpp"
#include "core/Inspection/InspectionFieldCatalogue.hpp"
#include "core/Inspection/InspectionService.hpp"
#include "core/Inspection/InstallerScriptScanner.hpp"
#include "core/Inspection/PKGInspectionRules.hpp"
#include "core/Inspection/PackageIdentifierFinder.hpp"
#include "core/Notarization/Stapler.hpp"
#include "core/PKG/Packages.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Signing/Gatekeeper.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace halyard {

namespace {
using Rules = PKGInspectionRules;
using C = InspectionCategoryID;

InspectionCategory categoryOf(C id, std::vector<InspectionField> fields) {
  return InspectionService::category(id, std::string(InspectionFieldCatalogue::categoryTitle(id)),
                                     std::move(fields));
}

// What the expanded package showed.
struct ExpandedContents {
  std::optional<ProcessOutcome> expansion; // none: the package was not expanded
  std::optional<std::string> identifier;
  std::optional<std::filesystem::path> app;
  std::optional<InspectionField> entitlements;
  std::optional<InstallerScriptScan> scripts; // none: the scripts could not be inspected
};

ExpandedContents lookInside(const std::filesystem::path& file,
                            const InspectionService::Progress& progress,
                            const InspectionRunner::Function& run) {
  ExpandedContents contents;
  std::optional<TemporaryFolder> folder;
  try {
    folder.emplace("Halyard_PKG_");
  } catch (const Error& error) {
    contents.expansion = ProcessOutcome{ProcessOutcome::launchFailedStatus, "", error.what()};
    return contents;
  }
  // pkgutil creates the expansion folder itself and refuses one that exists. The private name
  // stays reserved by the owner, which removes whatever is there when the inspection ends.
  const auto folderPath = folder->path();
  std::error_code ignored;
  std::filesystem::remove(folderPath, ignored);

  contents.expansion = Packages::expand(
      file, folderPath, InspectionRunner::bound(run, InspectionRunner::expansionLimit));
  contents.identifier = PackageIdentifierFinder::find(folderPath);
  contents.app = AppBundleLocator::find(folderPath);
  if (contents.app) {
    progress("Reading the app's entitlements…");
    contents.entitlements =
        AppEntitlements::field(AppEntitlements::read(*contents.app, run), InspectionFileKind::pkg);
  }
  if (contents.expansion->status == 0) contents.scripts = InstallerScriptScanner::scan(folderPath);
  return contents;
}
} // namespace

InspectionReport PKGInspection::inspect(const std::filesystem::path& file,
                                        InspectionFileFields fileFields,
                                        const InspectionService::Progress& progress,
                                        const InspectionRunner::Function& run) {
  progress("Checking the package signature…");
  const auto query = InspectionRunner::bound(run, InspectionRunner::queryLimit);
  const auto signature = Packages::checkSignature(file, query);
  auto signing = Rules::signatureFields(signature);

  progress("Asking Gatekeeper about the package…");
  const auto assessment =
      Gatekeeper::assess(Gatekeeper::Kind::install, file, query, {.verbosity = 3});
  const auto ticket = Stapler::validate(file, query);
  std::vector<InspectionField> trust{
      Rules::notarization(assessment.notarized(), ticket.validated()),
      Rules::fileGatekeeper(assessment), Rules::fileStapled(ticket)};

  progress("Looking inside the package…");
  std::vector<InspectionField> contentFields;
  std::vector<InspectionField> installer;
  std::optional<std::string> appName;
  if (fileFields.readable) {
    auto inside = lookInside(file, progress, run);
    contentFields.push_back(Rules::identifier(inside.identifier));
    contentFields.push_back(Rules::internalVisibility(inside.expansion));
    if (inside.entitlements) signing.push_back(std::move(*inside.entitlements));
    if (inside.app) appName = inside.app->filename().string();
    installer = Rules::installerFields(inside.scripts);
  } else {
    contentFields.push_back(Rules::identifier(signature.packageIdentifier));
    contentFields.push_back(Rules::internalVisibility(std::nullopt));
    installer = Rules::installerFields(std::nullopt);
  }

  std::vector<InspectionCategory> categories;
  categories.push_back(categoryOf(C::file, std::move(fileFields.fields)));
  categories.push_back(categoryOf(C::contents, std::move(contentFields)));
  categories.push_back(categoryOf(C::signing, std::move(signing)));
  categories.push_back(categoryOf(C::trust, std::move(trust)));
  categories.push_back(categoryOf(C::installer, std::move(installer)));
  return InspectionService::report(file, InspectionFileKind::pkg, std::move(appName),
                                   std::move(categories));
}

} // namespace halyard
