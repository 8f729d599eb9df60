#include "cli/release/ReleasePipeline.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/console/SignalHandler.hpp"
#include "cli/release/DiskImageCleanup.hpp"
#include "cli/release/SubmissionCache.hpp"
#include "cli/release/SubmissionResumption.hpp"
#include "cli/release/SubmissionTracker.hpp"
#include "core/DMG/DMGBuilder.hpp"
#include "core/DMG/DMGTemplateBackground.hpp"
#include "core/DMG/VolumeIcon.hpp"
#include "core/Import/BundleLinks.hpp"
#include "core/Import/ImportPreparationManager.hpp"
#include "core/Import/ZipAppExtractor.hpp"
#include "core/Inspection/ReleaseCheck.hpp"
#include "core/Legal/InstallerLicense.hpp"
#include "core/Notarization/AppBundleNotarizer.hpp"
#include "core/Notarization/AppBundleNotarizerError.hpp"
#include "core/Notarization/AppTicketStapler.hpp"
#include "core/Notarization/ArtifactNotarizationCoordinator.hpp"
#include "core/Notarization/NotaryPollingError.hpp"
#include "core/PKG/PKGBuilder.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "core/Process/Ditto.hpp"
#include "core/Signing/AppBundleDisplayName.hpp"
#include "core/Signing/CodeSign.hpp"
#include "core/Signing/SigningIdentityDetector.hpp"
#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/FolderLock.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UUID.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace fs = std::filesystem;

namespace {

constexpr const char* workspacePrefix = "Bosun_";
// The private folder beside the output in which the file is made.
constexpr const char* stagingPrefix = ".Bosun_";
constexpr double appSigningLimit = 180;
constexpr double deepVerificationLimit = 900;

// Removes a run's private folder and lets go of its lock; true once it is gone. On Ctrl-C the run
// may still be removing a folder of its own inside it at the same moment, which makes one pass
// stop early at the entry that vanished: go again until done.
bool removePrivateFolder(const fs::path& folder) {
  std::error_code error;
  for (int attempt = 0; attempt < 20; ++attempt) {
    fs::remove_all(folder, error);
    if (!fs::exists(fs::symlink_status(folder, error))) break;
  }
  halyard::FolderLock::release(folder);
  return !fs::exists(fs::symlink_status(folder, error));
}

// A private folder named prefix + UUID inside `parent`, registered for removal before it exists.
fs::path makePrivateFolder(std::vector<halyard::CleanupRegistry::Entry>& made,
                           const fs::path& parent, const std::string& prefix) {
  const fs::path folder = parent / (prefix + halyard::UUID::randomString());
  made.push_back(halyard::CleanupRegistry::shared().add(
      folder.string(), [folder] { return removePrivateFolder(folder); }));
  fs::create_directories(parent);
  if (::mkdir(folder.c_str(), 0700) != 0) {
    throw fs::filesystem_error("Could not create a temporary folder", folder,
                               std::error_code(errno, std::generic_category()));
  }
  // Locked for as long as the run lives: other runs' sweeps leave it and its images alone.
  if (!halyard::FolderLock::acquire(folder)) {
    throw fs::filesystem_error("Could not lock a temporary folder", folder,
                               std::error_code(EBUSY, std::generic_category()));
  }
  return folder;
}

std::string fileName(const fs::path& path) {
  return path.filename().string();
}

halyard::ReleaseCheck::Kind checkKind(OutputKind format) {
  return format == OutputKind::pkg ? halyard::ReleaseCheck::Kind::pkg
                                   : halyard::ReleaseCheck::Kind::dmg;
}

// One run of the pipeline over a plan.
class Run {
public:
  Run(const ReleasePlan& plan, const ReleaseSteps& steps)
      : plan_(plan), steps_(steps), decidedSteps_(plan.decidedSteps()), console_(Console::shared()),
        format_(displayName(plan.format)) {}
  // The run's folders go however it ends.
  ~Run() {
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder)
      folder->undo();
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  ReleaseOutcome perform() {
    // What runs that were killed left: their workspaces, and their unfinished files beside the
    // output.
    auto abandoned = DiskImageCleanup::removeAbandonedWorkspaces();
    for (auto& folder : DiskImageCleanup::removeAbandonedWorkspaces(plan_.outputURL.parent_path(),
                                                                    {stagingPrefix}))
      abandoned.push_back(std::move(folder));
    for (const auto& folder : abandoned)
      console_.info("Removed what a stopped earlier run left behind: " +
                    halyard::text::printable(folder.string()));
    workspace_ = makePrivateFolder(folders_, halyard::UserFolders::temporary(), workspacePrefix);
    // The file is made and finished in a private folder beside the output, so that the rename
    // that publishes it stays on one file system.
    staged_ = makePrivateFolder(folders_, plan_.outputURL.parent_path(), stagingPrefix) /
              plan_.artifactName;
    // A file Apple already has is finished as it is: of the plan's steps, only collecting its
    // verdict, the checks and the feed remain (and the app's copy, which the feed reads).
    resumption_ = keptSubmission();
    ReleaseOutcome outcome;
    for (const ReleaseStep& step : decidedSteps_) {
      if (resumption_ && !continuesResumedSubmission(step.action)) continue;
      if (steps_.began) steps_.began(step);
      perform(step.action, outcome);
    }
    return outcome;
  }

private:
  using Action = ReleaseStep::Action;

  bool decided(Action action) const { return includes(decidedSteps_, action); }

  bool continuesResumedSubmission(Action action) const {
    return action == Action::notarize || action == Action::check || action == Action::updateFeed ||
           (action == Action::copyApp && decided(Action::updateFeed));
  }

  void perform(Action action, ReleaseOutcome& outcome) {
    switch (action) {
    case Action::copyApp:
      stageApp();
      if (decided(Action::updateFeed)) readAppVersions();
      return;
    case Action::signApp:
      signApp(decided(Action::verifyApp));
      return;
    case Action::verifyApp:
      verifyApp();
      return;
    case Action::notarizeApp:
      notarizeApp();
      return;
    case Action::stapleAppTicket:
      stapleAppTicket();
      return;
    case Action::build:
      build();
      return;
    case Action::volumeIcon:
    case Action::licenseAgreement:
      return; // part of the build's request
    case Action::notarize:
      notarize();
      return;
    case Action::signFile:
      signFile();
      return;
    case Action::check:
      publish();
      outcome = checks();
      return;
    case Action::updateFeed:
      if (steps_.updateFeed) steps_.updateFeed(outcome);
      return;
    }
  }

  void stageApp() {
    const fs::path& source = plan_.project.appSource;
    try {
      if (plan_.project.isZip) {
        console_.step("Extracting " + fileName(source) + "…");
        const fs::path extracted = workspace_ / "extracted";
        fs::create_directory(extracted);
        halyard::ZipAppExtractor::extract(source, extracted);
        const auto found = halyard::ZipAppExtractor::findApp(extracted);
        if (!found)
          throw CLIError(ExitCode::input, fileName(source) + " does not contain an .app.");
        refuseLinksLeadingOut(*found);
        app_ = *found;
      } else {
        // An app given as a link (to a build folder elsewhere) is copied from where it is, and
        // only when none of its links would let the work on the copy reach other files.
        refuseLinksLeadingOut(source);
        console_.step("Copying " + fileName(source) + " into a temporary workspace…");
        app_ = workspace_ / source.filename();
        halyard::Ditto(halyard::AppleTools::Runner::shared, halyard::AppleTools::diskImageLimit)
            .copy(fs::canonical(source), app_);
      }
    } catch (...) {
      throw CLIError::from(std::current_exception(), ExitCode::input);
    }
    console_.detail("Working copy: " + app_.string());
    displayName_ = halyard::appBundleDisplayName(app_);
  }

  // The feed item needs the app's bundle version; without one nothing is built.
  void readAppVersions() {
    appVersions_ = halyard::AppBundleVersions::read(app_);
    if (!appVersions_->version) {
      throw CLIError(ExitCode::input,
                     fileName(app_) + " has no CFBundleVersion, which the update feed needs.",
                     "Set CFBundleVersion in the app's Info.plist, or leave out --appcast.");
    }
  }

  // Input error naming the first link in the bundle that leads out of it, below the bundle's
  // path as the user gave it.
  static void refuseLinksLeadingOut(const fs::path& bundle) {
    const auto outward = halyard::BundleLinks::firstLeadingOut(bundle);
    if (!outward) return;
    const fs::path inside = outward->link.lexically_relative(fs::canonical(bundle));
    throw CLIError(ExitCode::input,
                   halyard::text::printable((bundle / inside).string()) +
                       " is a link that leads out of the app, to " +
                       halyard::text::printable(outward->target.string()) + ".",
                   "Bosun never changes files outside the app. Replace the link with what it "
                   "points to, or make it point inside the app.");
  }

  // The ticket Apple already has for the app, stapled; without one, the app is notarized (it
  // keeps its signature, unless it needs one) or, when the plan says so, left as it is.
  void stapleAppTicket() {
    console_.step("Looking for Apple's ticket for " + fileName(app_) + "…");
    const AppTicketOutcome outcome = steps_.stapleExistingTicket(app_);
    switch (outcome.kind) {
    case AppTicketOutcome::Kind::stapled:
      console_.step("Stapled Apple's ticket to the app.");
      return;
    case AppTicketOutcome::Kind::alreadyStapled:
      console_.step("The app already has Apple's ticket.");
      return;
    case AppTicketOutcome::Kind::noTicket:
    case AppTicketOutcome::Kind::failed:
      break;
    }
    console_.detail(outcome.text);
    if (plan_.skipMissingTicket) {
      console_.warning("Apple has no ticket for this app (or couldn't be reached), so the app was "
                       "left as it is. The " +
                       format_ + "'s notarization still covers it online.");
      return;
    }
    console_.step("No ticket from Apple for this app. Notarizing it instead…");
    if (plan_.identity) {
      signApp(plan_.deepVerify);
      if (plan_.deepVerify) verifyApp();
    }
    notarizeApp();
  }

  // `deep`: the signature is made for the deep verification that follows.
  void signApp(bool deep) {
    // Without an identity the plan says "-": an ad-hoc signature.
    const std::string identity = plan_.identity.value_or("-");
    try {
      console_.step("Preparing the app bundle for signing…");
      // The prepared copy is made inside the workspace, so it goes with it (on Ctrl-C too).
      halyard::ImportPreparationManager manager;
      manager.engine.workingCopyParent = workspace_ / "prepared";
      manager.engine.signingJobs = plan_.signingJobs;
      const auto report = manager.prepareImportedAppIfNeeded(
          app_, identity, std::nullopt, [this](const std::string& line) { console_.detail(line); });
      if (report.appURL != app_) {
        // The preparation made its own copy to go on with; the first one is not needed now.
        std::error_code ignored;
        fs::remove_all(app_, ignored);
        app_ = report.appURL;
      }
      console_.step("Signing " + fileName(app_) + "…");
      halyard::CodeSign::signApp(app_, identity, deep, appSigningLimit);
    } catch (...) {
      throw CLIError::from(std::current_exception(), ExitCode::signing);
    }
  }

  void verifyApp() {
    console_.step("Verifying the signature (deep, strict)…");
    const auto verification = halyard::CodeSign::deepVerify(app_, deepVerificationLimit);
    if (verification.isPassed()) {
      console_.success("Deep verification passed");
    } else if (verification.kind() == halyard::DeepVerificationResult::Kind::timedOut) {
      throw CLIError(ExitCode::timeout, "Deep verification took too long and was stopped.",
                     "Run again without --deep, or check the app with `bosun verify --deep`.");
    } else {
      throw CLIError(ExitCode::signing, "Deep verification failed: " + verification.failureText());
    }
  }

  void notarizeApp() {
    console_.step("Notarizing the app bundle (this can take a few minutes)…");
    // The archive is not kept: a later run signs the app again, which makes another one.
    SubmissionTracker tracker(plan_.project.appSource);
    ReleaseSteps::AppSubmission submission;
    submission.progress = [this](const std::string& line) { console_.step(line); };
    submission.submitted = [&tracker](const std::string& id) { tracker.appSubmitted(id); };
    submission.wait = plan_.notaryWait;
    try {
      steps_.notarizeApp(app_, credentials(), submission);
    } catch (const halyard::NotaryPollingError& error) {
      SignalHandler::shared().waitWhileHandling();
      tracker.markUnfinished();
      const bool timedOut = error.errorCase() == halyard::NotaryPollingError::Case::timedOut;
      throw tracker.withSubmission(
          CLIError(timedOut ? ExitCode::timeout : ExitCode::notarization,
                   halyard::AppBundleNotarizerError::describe("Notarizing the app", error.text())));
    } catch (...) {
      SignalHandler::shared().waitWhileHandling();
      throw CLIError::from(std::current_exception(), ExitCode::notarization);
    }
  }

  // The notary credentials, which a plan that notarizes always has.
  const halyard::NotaryCredentials& credentials() const {
    if (!plan_.credentials)
      throw CLIError(ExitCode::credentials, "No notarization credentials are configured.");
    return *plan_.credentials;
  }

  halyard::LicenseAgreement licenseAgreement() {
    if (!decided(Action::licenseAgreement)) return halyard::LicenseAgreement::none();
    auto agreement = halyard::LicenseAgreement::load(
        plan_.project.folder,
        {halyard::kAllLicenseDocumentKinds.begin(), halyard::kAllLicenseDocumentKinds.end()});
    if (agreement.isEmpty()) {
      console_.warning("License documents were found, but none had an English (en-US) version or "
                       "readable text, so no agreement was added.");
    }
    return agreement;
  }

  void build() {
    const halyard::LicenseAgreement agreement = licenseAgreement();
    const fs::path& staged = staged_;
    const auto step = [this](const std::string& line) { console_.step(line); };
    if (plan_.format == OutputKind::pkg) {
      halyard::PKGBuildRequest request;
      request.appURL = app_;
      request.outputURL = staged;
      request.title = displayName_;
      request.licenseFolders = halyard::InstallerLicense::folders(agreement);
      // Signed here unless notarizing signs it.
      if (!decided(Action::notarize)) request.signingIdentity = plan_.installerIdentity;
      try {
        halyard::PKGBuilder::build(request, step);
      } catch (...) {
        throw CLIError::from(std::current_exception(), ExitCode::build);
      }
      return;
    }

    halyard::DMGBuildRequest request = plan_.dmgBuildRequest();
    if (decided(Action::volumeIcon)) {
      request.volumeIconURL = halyard::VolumeIcon::appIconFile(app_);
      if (!request.volumeIconURL)
        console_.warning(fileName(app_) + " has no .icns icon file, so the DMG's volume keeps the "
                                          "standard disk icon.");
    }
    if (const auto& designTemplate = plan_.project.templateURL) {
      console_.step("Rendering the background from " + fileName(*designTemplate) + "…");
      try {
        const auto prepared =
            halyard::DMGTemplateBackground::prepare(*designTemplate, workspace_ / "template");
        request = request.styled(prepared.designTemplate, prepared.imageURL);
      } catch (const std::exception& error) {
        throw CLIError(ExitCode::input,
                       std::string("The template could not be used: ") + error.what());
      }
    }
    try {
      steps_.buildDMG(app_, displayName_, staged, request, agreement, plan_.modernDiskTools, step);
    } catch (...) {
      // What stays attached stays in the clean-up registry, and is named as the command ends.
      DiskImageCleanup::detachLeftoversSynchronously();
      throw CLIError::from(std::current_exception(), ExitCode::build);
    }
  }

  // The submission an earlier run of this release left waiting for its verdict (kept when its
  // wait ended without one), when the release's inputs are still the same and Apple still works
  // on it or has accepted it.
  std::optional<SubmissionResumption> keptSubmission() {
    if (!decided(Action::notarize) || !plan_.credentials) return std::nullopt;
    auto resumption = SubmissionResumption::lookup(
        plan_.outputURL, [this] { return plan_.inputsDigest(); }, *plan_.credentials,
        halyard::NotaryPolling::standard(), SubmissionCache());
    if (resumption) {
      console_.step("Resuming submission " + resumption->id + " of " + plan_.artifactName +
                    " instead of building and uploading it again…");
    }
    return resumption;
  }

  // Signs, notarizes, staples and validates the file made; for a resumed submission, finishes
  // the file Apple received into the same place.
  void notarize() {
    console_.step("Notarizing " + plan_.artifactName + " (this can take a few minutes)…");
    const bool isDMG = plan_.format == OutputKind::dmg;
    halyard::ArtifactNotarizationCoordinator coordinator;
    halyard::ArtifactNotarizationResult result;
    SubmissionTracker tracker(plan_.outputURL, [this] { return plan_.inputsDigest(); });
    try {
      halyard::ArtifactNotarizationConfig config(
          resumption_ ? resumption_->file : staged_,
          isDMG ? plan_.identity : plan_.installerIdentity, credentials(),
          isDMG ? halyard::ArtifactKind::dmg : halyard::ArtifactKind::pkg);
      config.notaryWait = plan_.notaryWait;
      if (resumption_) {
        config.destination = staged_;
        config.submissionID = resumption_->id;
        tracker.resume(resumption_->id);
      }
      tracker.attach(config);
      result = coordinator.run(config, [this](const std::string& line) { console_.step(line); });
    } catch (...) {
      // The clean-up may be using the tracker on the signal's thread.
      SignalHandler::shared().waitWhileHandling();
      removeEmptySigningFolder();
      tracker.finished();
      throw tracker.withSubmission(
          CLIError::from(std::current_exception(), ExitCode::notarization));
    }
    tracker.finished();
    removeEmptySigningFolder();
    console_.detail(result.notarizationOutput);
  }

  void signFile() {
    console_.step("Signing " + plan_.artifactName + "…");
    try {
      halyard::CodeSign::signDiskImage(staged_, plan_.identity.value_or("-"));
    } catch (...) {
      throw CLIError::from(std::current_exception(), ExitCode::signing);
    }
  }

  // The coordinator's shared folder for signed packages, when nothing is left in it.
  static void removeEmptySigningFolder() {
    std::error_code ignored;
    fs::remove(halyard::UserFolders::temporary() /
                   halyard::ArtifactNotarizationCoordinator::temporaryFolderName,
               ignored);
  }

  // Moves the finished file over the output: an existing release stays until this rename.
  void publish() {
    std::error_code ignored;
    if (!plan_.overwrite && fs::exists(fs::symlink_status(plan_.outputURL, ignored))) {
      throw CLIError(ExitCode::input, plan_.outputURL.string() + " already exists.",
                     "Add --overwrite to replace it, or choose another --output / --name.");
    }
    if (const auto error = halyard::AtomicFileCopy::replace(staged_, plan_.outputURL)) {
      throw CLIError(ExitCode::input,
                     "Could not write " + plan_.outputURL.string() + ": " + error.message());
    }
  }

  // The release checks, of the app in the workspace too (it is the one inside) when the run
  // signed it or stapled its ticket.
  ReleaseOutcome checks() {
    const bool checksApp =
        !resumption_ && (decided(Action::signApp) || decided(Action::stapleAppTicket));
    console_.step("Checking signing, notarization and stapling…");
    ReleaseOutcome outcome;
    outcome.artifactURL = plan_.outputURL;
    if (checksApp) {
      outcome.appCheck = halyard::ReleaseCheck::run(app_, halyard::ReleaseCheck::Kind::app);
      outcome.appCheck->fileName = fileName(app_);
    }
    outcome.artifactCheck = halyard::ReleaseCheck::run(plan_.outputURL, checkKind(plan_.format));
    outcome.artifactCheck.fileName = plan_.artifactName;
    outcome.problems = ReleasePipeline::problems(plan_, outcome.appCheck, outcome.artifactCheck);
    outcome.appVersions = appVersions_;
    return outcome;
  }

  const ReleasePlan& plan_;
  const ReleaseSteps& steps_;
  const std::vector<ReleaseStep> decidedSteps_;
  std::vector<halyard::CleanupRegistry::Entry> folders_; // the workspace and the staging folder
  Console& console_;
  const std::string format_;
  fs::path workspace_;
  fs::path staged_; // where the file is made and finished
  std::optional<SubmissionResumption> resumption_;
  fs::path app_;
  std::string displayName_;
  std::optional<halyard::AppBundleVersions> appVersions_;
};

} // namespace

void ReleaseSteps::designedDiskImage(const fs::path& appURL, const std::string& appDisplayName,
                                     const fs::path& outputURL,
                                     const halyard::DMGBuildRequest& request,
                                     const halyard::LicenseAgreement& agreement,
                                     bool prefersModernTools, const Progress& status) {
  halyard::DMGBuildHooks hooks;
  hooks.status = status;
  halyard::DMGBuilder::build(appURL, appDisplayName, outputURL, request, agreement,
                             prefersModernTools, halyard::DMGStyling::finderLayoutFile, hooks);
}

void ReleaseSteps::notarizeAppBundle(const fs::path& app,
                                     const halyard::NotaryCredentials& credentials,
                                     const AppSubmission& submission) {
  halyard::AppBundleNotarizer notarizer;
  notarizer.wait = submission.wait;
  notarizer.submitted = submission.submitted;
  notarizer.notarizeAndStaple(app, credentials, submission.progress);
}

AppTicketOutcome ReleaseSteps::stapleAppTicket(const fs::path& app) {
  return halyard::AppTicketStapler::stapleExistingTicket(app);
}

ReleasePlan ReleasePipeline::preflight(const ReleasePlan& plan) const {
  const auto steps = plan.decidedSteps();
  const bool appStepsAvailable =
      includes(steps, ReleaseStep::Action::stapleAppTicket)
          ? steps_.stapleExistingTicket && (plan.skipMissingTicket || steps_.notarizeApp)
          : !includes(steps, ReleaseStep::Action::notarizeApp) || steps_.notarizeApp;
  if (!appStepsAvailable) {
    throw CLIError(ExitCode::failure,
                   "Notarizing and stapling the app bundle is not available in this build of "
                   "Bosun.",
                   "Use --app-bundle off; the " + std::string(displayName(plan.format)) +
                       " is still notarized.");
  }
  Console& console = Console::shared();
  if (plan.sign && plan.identity) {
    console.step("Checking signing identities…");
    const auto listing =
        halyard::SigningIdentityDetector::list(halyard::SigningIdentityKind::application);
    if (!halyard::SigningIdentityDetector::firstMatch(listing.installed(), *plan.identity)) {
      throw CLIError::identityNotFound("signing identity", *plan.identity, listing.identities,
                                       "No Developer ID Application identities are installed. "
                                       "Install your certificate or add --no-sign --no-notarize.");
    }
  }
  if (plan.format == OutputKind::pkg && plan.installerIdentity) {
    const auto listing =
        halyard::SigningIdentityDetector::list(halyard::SigningIdentityKind::installer);
    const auto match =
        halyard::SigningIdentityDetector::firstMatch(listing.installed(), *plan.installerIdentity);
    if (!match) {
      throw CLIError::identityNotFound("installer identity", *plan.installerIdentity,
                                       listing.identities,
                                       "No Developer ID Installer identities are installed.");
    }
    // The package tools take the identity's full name: a part of it (the team identifier, say)
    // would be read as a certificate holder's name.
    ReleasePlan resolved = plan;
    resolved.installerIdentity = match;
    return resolved;
  }
  return plan;
}

ReleaseOutcome ReleasePipeline::run(const ReleasePlan& givenPlan) {
  const ReleasePlan plan = preflight(givenPlan);
  return Run(plan, steps_).perform();
}

bool ReleasePipeline::isRequired(const ReleasePlan& plan, Check check) {
  switch (check) {
  case Check::appSigning:
    return plan.sign;
  case Check::appNotarization:
  case Check::appStapling:
    return plan.notarizeApp || plan.stapleApp;
  case Check::signing:
    return plan.sign && (plan.format == OutputKind::dmg || plan.installerIdentity.has_value());
  case Check::notarization:
  case Check::stapling:
    return plan.notarize;
  }
  return false;
}

std::string ReleasePipeline::label(const ReleasePlan& plan, Check check) {
  const std::string format(displayName(plan.format));
  switch (check) {
  case Check::appSigning:
    return "App signing";
  case Check::appNotarization:
    return "App notarization";
  case Check::appStapling:
    return "App stapling";
  case Check::signing:
    return format + " signing";
  case Check::notarization:
    return format + " notarization";
  case Check::stapling:
    return format + " stapling";
  }
  return {};
}

std::vector<std::string>
ReleasePipeline::problems(const ReleasePlan& plan,
                          const std::optional<halyard::ReleaseCheckResult>& app,
                          const halyard::ReleaseCheckResult& artifact) {
  std::vector<std::pair<Check, const halyard::ReleaseCheckStatus*>> checks;
  if (app) {
    checks.insert(checks.end(), {{Check::appSigning, &app->signing},
                                 {Check::appNotarization, &app->notarization},
                                 {Check::appStapling, &app->stapling}});
  }
  checks.insert(checks.end(), {{Check::signing, &artifact.signing},
                               {Check::notarization, &artifact.notarization},
                               {Check::stapling, &artifact.stapling}});
  std::vector<std::string> result;
  for (const auto& [check, status] : checks) {
    if (isRequired(plan, check) && !status->isPassed())
      result.push_back(label(plan, check) + ": " + status->reason().value_or(""));
  }
  return result;
}

} // namespace bosun
