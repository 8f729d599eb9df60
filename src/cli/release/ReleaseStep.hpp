#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace bosun {

// One step a release plan has decided on: what the run does, and the line that describes it in
// the plan. The plan's list of steps is the only place that decides what a release does; the
// run goes through it in order.
struct ReleaseStep {
  enum class Action {
    copyApp,          // the app (or the ZIP's app) into the workspace
    signApp,          // prepare and sign the working copy
    verifyApp,        // deep, strict verification of that signature
    notarizeApp,      // notarize the app bundle and staple its ticket
    stapleAppTicket,  // staple the ticket Apple has; without one, notarize the app or go on
    build,            // the DMG or PKG
    volumeIcon,       // the app's icon on the DMG's volume (applied by the build)
    licenseAgreement, // the agreement in the DMG or PKG (applied by the build)
    notarize,         // sign, notarize, staple and validate the file
    signFile,         // sign the DMG
    check,            // put the finished file in place and check signing, notarization, stapling
    updateFeed,       // sign the file with the update key and add it to the feed
  };

  Action action;
  std::string description;

  bool operator==(const ReleaseStep&) const = default;
};

// Whether `steps` has a step with this action.
inline bool includes(const std::vector<ReleaseStep>& steps, ReleaseStep::Action action) {
  return std::any_of(steps.begin(), steps.end(),
                     [action](const ReleaseStep& step) { return step.action == action; });
}

} // namespace bosun
