#include "core/PKG/PKGBuilder.hpp"

#include <system_error>
#include <vector>

#include "core/PKG/PKGAppFacts.hpp"
#include "core/PKG/PKGBuilderError.hpp"
#include "core/PKG/PKGDistribution.hpp"
#include "core/PKG/Packages.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/Architectures.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "core/Process/Ditto.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Process/ToolProcessResult.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace fs = std::filesystem;

namespace {

// A name that becomes part of a file name in the staging folder: it must stay one path
// component there, and be text the tools and the XML can carry.
bool isSafeName(std::string_view name) {
  if (name.empty() || name.find("..") != std::string_view::npos) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

void report(const PKGBuilder::Progress& progress, const std::string& line) {
  if (progress) progress(line);
}

// A tool step's result; a non-zero status (a time-out included) fails the build with the step's
// name and the tool's combined output.
void checkStep(const char* name, const ToolProcessResult& result) {
  if (!result.succeeded()) throw PKGBuilderError::step(name, result.combined());
}

std::string hostArchitectures(const fs::path& app, const PKGAppFacts& facts) {
  if (!facts.executableName) return PKGDistribution::defaultArchitectures;
  const auto names = Architectures::of(app.string() + "/Contents/MacOS/" + *facts.executableName,
                                       {AppleTools::Runner::shared, AppleTools::quickQueryLimit});
  if (!names) return PKGDistribution::defaultArchitectures;
  return PKGDistribution::hostArchitecturesFrom(*names);
}

} // namespace

void PKGBuilder::build(const PKGBuildRequest& request, const Progress& progress) {
  // "My.app/" names My.app.
  fs::path app = request.appURL;
  if (!app.has_filename() && app.has_parent_path()) app = app.parent_path();

  const PKGAppFacts facts = PKGAppFacts::read(app);
  if (!isSafeName(facts.identifier))
    throw PKGBuilderError::unsafeName("bundle identifier", facts.identifier);
  for (const auto& [folder, bytes] : request.licenseFolders)
    if (!isSafeName(folder)) throw PKGBuilderError::unsafeName("license folder", folder);
  const std::string identity = text::trimmed(request.signingIdentity.value_or(""));

  ProcessRegistry& processes = ProcessRegistry::shared();
  TemporaryFolder workspace(workspacePrefix);
  std::vector<CleanupRegistry::Entry> temporaries;
  temporaries.push_back(CleanupRegistry::shared().addPath(workspace.path()));
  const fs::path root = workspace.path() / "root";
  const fs::path resources = workspace.path() / "resources";
  const fs::path componentPlist = workspace.path() / "component.plist";
  const std::string componentName = facts.identifier + ".component.pkg";
  const fs::path component = workspace.path() / componentName;
  const fs::path distribution = workspace.path() / "Distribution.xml";
  const fs::path product = workspace.path() / "product.pkg";
  fs::create_directory(root);
  fs::create_directory(resources);

  report(progress, "Preparing the app for the installer…");
  try {
    Ditto(AppleTools::Runner::shared, AppleTools::packagingLimit).copy(app, root / app.filename());
  } catch (const DittoError& error) {
    throw PKGBuilderError::step("Copying the app", error.result().combined());
  }
  processes.stopIfCancelling();
  const ToolRun packaging{AppleTools::Runner::shared, AppleTools::packagingLimit};
  checkStep("Analyzing the app", Packages::analyze(root, componentPlist, packaging));
  processes.stopIfCancelling();
  // The installer always writes to /Applications instead of updating a copy of the app found
  // elsewhere on disk.
  if (!Packages::makeBundlesNonRelocatable(componentPlist))
    throw PKGBuilderError::step("Analyzing the app",
                                "pkgbuild did not write a component property list.");

  report(progress, "Building the installer package…");
  checkStep("pkgbuild", Packages::buildComponent({root, componentPlist, facts.identifier,
                                                  facts.version, "/Applications", component},
                                                 packaging));
  processes.stopIfCancelling();

  for (const auto& [folder, bytes] : request.licenseFolders) {
    // Not create_directories: a staging folder removed by the clean-up must not come back.
    const fs::path localized = resources / (folder + ".lproj");
    fs::create_directory(localized);
    AtomicFile::writeAll(localized / "License.rtf", bytes);
  }

  PKGDistribution definition;
  definition.title = request.title;
  definition.hostArchitectures = hostArchitectures(app, facts);
  definition.minimumSystemVersion = facts.minimumSystemVersion;
  definition.identifier = facts.identifier;
  definition.version = facts.version;
  definition.componentFileName = componentName;
  definition.hasLicense = !request.licenseFolders.empty();
  processes.stopIfCancelling();
  AtomicFile::writeAll(distribution, definition.text());

  report(progress,
         identity.empty() ? "Assembling the installer…" : "Assembling and signing the installer…");
  checkStep("productbuild",
            Packages::buildProduct({distribution, resources, workspace.path(), identity, product},
                                   packaging));
  processes.stopIfCancelling();

  // Beside the output, then renamed over it: an earlier package stays whole until the new one
  // is complete.
  AtomicFileCopy copy(product, request.outputURL);
  temporaries.push_back(CleanupRegistry::shared().addPath(copy.temporaryPath()));
  if (const std::error_code error = copy.commit())
    throw fs::filesystem_error("Could not write the installer package", product, request.outputURL,
                               error);
}

std::string PKGBuilder::normalizedInstallerIdentity(std::string_view text) {
  std::string identity = text::trimmed(text);
  if (identity.empty()) return identity;
  if (text::lowercasedASCII(identity).find("developer id installer") != std::string::npos)
    return identity;
  return "Developer ID Installer: " + identity;
}

} // namespace halyard
