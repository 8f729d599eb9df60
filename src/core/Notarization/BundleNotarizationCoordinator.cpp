#include "core/Notarization/BundleNotarizationCoordinator.hpp"

#include "core/Notarization/ArtifactNotarizationCoordinator.hpp"
#include "core/Notarization/ArtifactNotarizationSteps.hpp"
#include "core/Notarization/BundleNotarizationCoordinatorError.hpp"
#include "core/Notarization/NotaryPollingError.hpp"
#include "core/Notarization/Stapler.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/Ditto.hpp"
#include "core/Signing/Gatekeeper.hpp"
#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UUID.hpp"

namespace halyard {

namespace {

namespace fs = std::filesystem;
using Case = BundleNotarizationCoordinatorError::Case;
using Steps = ArtifactNotarizationSteps;

[[noreturn]] void fail(Case failure, std::string text) {
  throw BundleNotarizationCoordinatorError(failure, std::move(text));
}

std::string orFallback(std::string text, const char* fallback) {
  return text.empty() ? std::string(fallback) : text;
}

void report(const BundleNotarizationCoordinator::Progress& progress, const std::string& line) {
  if (progress) progress(line);
}

bool fileExists(const fs::path& file) {
  std::error_code error;
  return fs::exists(file, error);
}

ToolProcessResult runTool(const char* tool, const std::vector<std::string>& arguments) {
  return ArtifactNotarizationCoordinator::runTool(tool, arguments);
}

} // namespace

BundleNotarizationCoordinator::Config::Config(fs::path importedAppURL, fs::path dmgURL,
                                              NotaryCredentials credentials,
                                              bool shouldNotarizeBundle)
    : importedAppURL(std::move(importedAppURL)), dmgURL(std::move(dmgURL)),
      credentials(std::move(credentials)), shouldNotarizeBundle(shouldNotarizeBundle) {}

BundleNotarizationCoordinator::Config::Config(fs::path importedAppURL, fs::path dmgURL,
                                              const std::string& keychainProfile,
                                              bool shouldNotarizeBundle)
    : Config(std::move(importedAppURL), std::move(dmgURL),
             NotaryCredentials::keychainProfile(text::trimmed(keychainProfile)),
             shouldNotarizeBundle) {}

BundleNotarizationCoordinator::BundleNotarizationCoordinator(Dependencies dependencies,
                                                             TicketPropagation propagation,
                                                             NotaryPolling polling)
    : dependencies_(std::move(dependencies)), propagation_(std::move(propagation)),
      polling_(std::move(polling)) {}

BundleNotarizationResult BundleNotarizationCoordinator::run(const Config& config,
                                                            const Progress& progress) {
  if (!fileExists(config.importedAppURL)) fail(Case::appURLMissing, {});
  if (config.credentials.isEmpty()) fail(Case::keychainProfileMissing, {});
  // Absolute paths, so that a name beginning with "-" never reads as an option.
  fs::path app = fs::absolute(config.importedAppURL).lexically_normal();
  if (!app.has_filename()) app = app.parent_path(); // "My App.app/" names the same app
  const fs::path dmg = fs::absolute(config.dmgURL).lexically_normal();

  BundleNotarizationResult result;
  if (config.shouldNotarizeBundle) {
    notarizeApp(app, config.credentials, progress);
    result.appWasNotarized = true;
    result.appWasStapled = true;
    report(progress, "Validating stapled application bundle…");
    result.appValidationOutput = validate(app, true);
    rebuildDMG(app, dmg, progress);
  }
  if (!fileExists(dmg)) fail(Case::dmgURLMissing, {});

  report(progress, "Submitting DMG for notarization…");
  submit(dmg, config.credentials);
  result.dmgWasNotarized = true;
  report(progress, "Stapling DMG…");
  staple(dmg, progress);
  result.dmgWasStapled = true;
  report(progress, "Validating stapled DMG…");
  result.dmgValidationOutput = validate(dmg, false);
  report(progress, "Notarization complete.");
  return result;
}

void BundleNotarizationCoordinator::notarizeApp(const fs::path& app,
                                                const NotaryCredentials& credentials,
                                                const Progress& progress) {
  report(progress, "Creating notarization archive...");
  std::optional<TemporaryFolder> folder;
  try {
    folder.emplace(temporaryFolderPrefix);
  } catch (const Error& error) {
    fail(Case::archiveCreationFailed,
         "Halyard could not create a temporary folder for the app archive: " + error.description());
  }
  remember(folder->path());
  struct Forget {
    BundleNotarizationCoordinator& owner;
    fs::path path;
    ~Forget() { owner.forget(path); }
  } forget{*this, folder->path()};

  const fs::path archive =
      folder->path() / (UUID::randomString() + "-" + app.stem().string() + ".zip");
  try {
    Ditto(AppleTools::Runner::notarization, processTimeout).archive(app, archive);
  } catch (const DittoError& error) {
    if (error.timedOut())
      fail(Case::archiveCreationFailed,
           "Creating a ZIP archive of the application bundle timed out.");
    fail(Case::archiveCreationFailed,
         orFallback(Steps::joinedOutput(error.result()),
                    "Creating a ZIP archive of the application bundle failed."));
  }
  if (!fileExists(archive)) {
    fail(Case::archiveCreationFailed,
         "Halyard created the temporary notarization archive command successfully, but the ZIP "
         "file was not found afterward.");
  }

  report(progress, "Submitting application bundle for notarization…");
  submit(archive, credentials);
  report(progress, "Stapling application bundle…");
  staple(app, progress);
}

void BundleNotarizationCoordinator::rebuildDMG(const fs::path& app, const fs::path& dmg,
                                               const Progress& progress) {
  report(progress, "Building DMG from stapled application bundle…");
  if (!dependencies_.exportDMGFromPreparedApp)
    fail(Case::rebuildRequired, "Halyard cannot rebuild the DMG: no DMG builder was supplied.");

  // The new DMG is built beside the previous one, which stays whole until the new one exists.
  const fs::path destination = dmg.parent_path() / (".Halyard_Rebuild_" + UUID::randomString() +
                                                    "-" + dmg.filename().string());
  remember(destination);
  struct Discard {
    BundleNotarizationCoordinator& owner;
    fs::path path;
    ~Discard() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
      owner.forget(path);
    }
  } discard{*this, destination};

  const fs::path built = dependencies_.exportDMGFromPreparedApp(app, destination);
  if (!fileExists(built)) {
    fail(Case::rebuildRequired, "Halyard rebuilt the DMG from the stapled application bundle, "
                                "but the new DMG file was not found afterward.");
  }
  if (fs::absolute(built).lexically_normal() == dmg) return;

  if (const auto error = AtomicFileCopy::replace(built, dmg)) {
    fail(Case::rebuildRequired, "Halyard could not replace the previous DMG with the one rebuilt "
                                "from the stapled application bundle: " +
                                    error.message());
  }
}

std::string BundleNotarizationCoordinator::submit(const fs::path& file,
                                                  const NotaryCredentials& credentials) {
  try {
    const auto verdict =
        polling_.await(polling_.upload(file, credentials), credentials, processTimeout);
    if (!verdict.accepted()) fail(Case::submitFailed, verdict.output);
    return verdict.output;
  } catch (const NotaryPollingError& error) {
    if (error.errorCase() == NotaryPollingError::Case::uploadFailed)
      fail(Case::submitFailed, error.text());
    fail(Case::waitFailed, error.submissionID().empty()
                               ? error.text()
                               : error.text() + "\n  id: " + error.submissionID());
  }
}

void BundleNotarizationCoordinator::staple(const fs::path& file, const Progress& progress) {
  const auto stapled = propagation_.stapleAfterAcceptance(file, runTool, progress).run;
  if (stapled.status == 0) return;
  fail(Case::stapleFailed,
       orFallback(Steps::joinedOutput(stapled), stapled.status == ToolProcessResult::timedOutStatus
                                                    ? "Stapling timed out before it could finish."
                                                    : "xcrun stapler staple failed."));
}

std::string BundleNotarizationCoordinator::validate(const fs::path& file, bool app) {
  const auto staple = Stapler::validate(file, runTool).run;
  const auto assessment =
      Gatekeeper::assess(app ? Gatekeeper::Kind::execute : Gatekeeper::Kind::open, file, runTool,
                         {.verbosity = 3, .abbreviated = true});
  return validationOutput(app, staple, assessment.run);
}

std::string BundleNotarizationCoordinator::validationOutput(bool app,
                                                            const ToolProcessResult& staple,
                                                            const ToolProcessResult& assessment) {
  const std::string combined =
      Steps::joinedWithBlankLine({Steps::joinedOutput(staple), Steps::joinedOutput(assessment)});
  if (staple.status == ToolProcessResult::timedOutStatus ||
      assessment.status == ToolProcessResult::timedOutStatus)
    return Steps::joinedWithBlankLine(
        {combined, app ? appValidationTimeoutNote : dmgValidationTimeoutNote});
  if (staple.status == 0 && assessment.status == 0) return combined;
  fail(Case::validationFailed, orFallback(combined, app ? "Application bundle validation failed."
                                                        : "DMG validation failed."));
}

void BundleNotarizationCoordinator::remember(const fs::path& temporary) {
  const std::lock_guard<std::mutex> guard(lock_);
  temporaries_.push_back(temporary);
}

void BundleNotarizationCoordinator::forget(const fs::path& temporary) {
  const std::lock_guard<std::mutex> guard(lock_);
  std::erase(temporaries_, temporary);
}

void BundleNotarizationCoordinator::discardTemporaryFiles() noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  for (const auto& path : temporaries_) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
}

} // namespace halyard
