#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/release/ReleasePlan.hpp"
#include "core/Appcast/AppBundleVersions.hpp"
#include "core/DMG/DMGBuildRequest.hpp"
#include "core/Inspection/ReleaseCheckResult.hpp"
#include "core/Legal/LicenseAgreement.hpp"
#include "core/Notarization/AppTicketStapleOutcome.hpp"
#include "core/Notarization/NotaryCredentials.hpp"

namespace bosun {

// What a release run produced: the finished file, the release checks of the app and of the file,
// and one entry per required check that failed.
struct ReleaseOutcome {
  std::filesystem::path artifactURL;
  // Absent when the plan neither signs nor staples the app.
  std::optional<halyard::ReleaseCheckResult> appCheck;
  halyard::ReleaseCheckResult artifactCheck;
  std::vector<std::string> problems;
  // The app's name and versions, read when the plan has an update feed.
  std::optional<halyard::AppBundleVersions> appVersions;
};

// How looking for Apple's ticket of an app ended.
using AppTicketOutcome = halyard::AppTicketStapleOutcome;

// The steps of a release that other components do: building the DMG and notarizing or stapling
// the app bundle. Tests put their own in; an empty app-bundle step means the step is not available,
// and a plan that needs it is refused before anything is made.
struct ReleaseSteps {
  using Progress = std::function<void(const std::string&)>;
  using DMGBuild = std::function<void(
      const std::filesystem::path& appURL, const std::string& appDisplayName,
      const std::filesystem::path& outputURL, const halyard::DMGBuildRequest& request,
      const halyard::LicenseAgreement& agreement, bool prefersModernTools, const Progress& status)>;
  // What the app's notarization reports as it goes, and how long it waits for the verdict.
  struct AppSubmission {
    Progress progress;
    std::function<void(const std::string& id)> submitted; // the id, as soon as the upload has it
    double wait = 900;
  };
  using AppNotarization =
      std::function<void(const std::filesystem::path& app,
                         const halyard::NotaryCredentials& credentials, const AppSubmission&)>;
  using TicketStapling = std::function<AppTicketOutcome(const std::filesystem::path& app)>;

  DMGBuild buildDMG = designedDiskImage;
  AppNotarization notarizeApp = notarizeAppBundle;
  TicketStapling stapleExistingTicket = stapleAppTicket;
  // Adds the checked release to its update feed (the caller's, which prepared the feed before
  // the run). Without one the plan's feed step does nothing.
  std::function<void(const ReleaseOutcome&)> updateFeed;
  // Told as each of the plan's steps begins. May be empty.
  std::function<void(const ReleaseStep&)> began;

  // The designed installer DMG: the app and an Applications link in a styled window with its
  // background, the chosen compression and the license agreement.
  static void designedDiskImage(const std::filesystem::path& appURL,
                                const std::string& appDisplayName,
                                const std::filesystem::path& outputURL,
                                const halyard::DMGBuildRequest& request,
                                const halyard::LicenseAgreement& agreement, bool prefersModernTools,
                                const Progress& status);
  // Submits the app to the notary service and staples its ticket; on Ctrl-C the archive made for
  // the submission is removed.
  static void notarizeAppBundle(const std::filesystem::path& app,
                                const halyard::NotaryCredentials& credentials,
                                const AppSubmission& submission);
  // Staples the ticket Apple already has for the app, if any.
  static AppTicketOutcome stapleAppTicket(const std::filesystem::path& app);
};

// Turns a release plan into a finished DMG or PKG: checks the identities, copies or unpacks the
// app into a private workspace ("Bosun_" + UUID in the temporary folder), prepares, signs and
// verifies it, builds the file, signs or notarizes it, and runs the release checks. The user's
// app is never changed. The workspace, every temporary folder of the run and a file still being
// made are removed however the run ends, and on Ctrl-C through the signal handler. The finished
// file is made in a private folder beside the output and renamed over it only when it is
// complete, so a failure never loses a release that was already there.
class ReleasePipeline {
public:
  explicit ReleasePipeline(ReleaseSteps steps = {}) : steps_(std::move(steps)) {}

  // Throws CLIError with the exit code of the failing step (or a file-system error).
  ReleaseOutcome run(const ReleasePlan& plan);

  // The identities the plan names must be installed; throws CLIError `credentials`. Also refuses
  // an app-bundle mode whose step is not part of this build. Returns the plan with the installer
  // identity as the full name of the installed one it matched.
  ReleasePlan preflight(const ReleasePlan& plan) const;

  // The required checks that failed, as "<label>: <reason>", app checks first.
  static std::vector<std::string> problems(const ReleasePlan& plan,
                                           const std::optional<halyard::ReleaseCheckResult>& app,
                                           const halyard::ReleaseCheckResult& artifact);

  // Whether a failure of the check with this label (see checkLabels) is a problem for the plan.
  enum class Check { appSigning, appNotarization, appStapling, signing, notarization, stapling };
  static bool isRequired(const ReleasePlan& plan, Check check);
  // "App signing", ..., FORMAT + " signing", ...
  static std::string label(const ReleasePlan& plan, Check check);

private:
  ReleaseSteps steps_;
};

} // namespace bosun
