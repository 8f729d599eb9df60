#include "cli/commands/StartCommand.hpp"

#include <nlohmann/json.hpp>

#include "cli/commands/SetupCommand.hpp"
#include "cli/console/CLIError.hpp"
#include "cli/console/CheckPayload.hpp"
#include "cli/console/SignalHandler.hpp"
#include "cli/console/TerminalSession.hpp"
#include "cli/release/FeedPublication.hpp"
#include "cli/release/ProjectFolder.hpp"
#include "cli/release/ReleasePipeline.hpp"
#include "cli/release/WindowPreview.hpp"
#include "cli/settings/StandardizedPath.hpp"
#include "core/DMG/VolumeIcon.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

ExitCode StartCommand::run(const ParsedArguments& arguments) {
  if (arguments.positionals.size() > 1) {
    throw CLIError(ExitCode::usage, "start takes one folder, .app or .zip.",
                   "Example: bosun start ~/Releases/MyApp");
  }
  // An empty --output is a mistake in a script, not a request for the default location.
  if (const auto output = arguments.value("output"); output && output->empty()) {
    throw CLIError(ExitCode::usage, "--output needs a file or folder.",
                   "Leave out --output to write the release into the project folder.");
  }

  const ProjectFolder project = ProjectFolder::resolve(arguments.firstPositional(), arguments);
  std::optional<ConfigurationResolver> resolved;
  resolved.emplace(arguments, project.folder);
  if (needsSetup(*resolved)) {
    const bool wizardAllowed = TerminalSession::isInteractive() && !arguments.hasFlag("json") &&
                               !arguments.hasFlag("yes") && !arguments.hasFlag("dry-run");
    if (!wizardAllowed) {
      throw CLIError(ExitCode::configuration, "Bosun is not set up yet.",
                     "Run `bosun setup` in Terminal, pass --identity and --profile (or "
                     "--key/--key-id/--issuer), or add --no-sign --no-notarize.");
    }
    Console::shared().info("Bosun is not set up yet. Let's do that first.");
    SetupCommand::runWizard(arguments);
    resolved.emplace(arguments, project.folder);
  }
  const ConfigurationResolver& configuration = *resolved;

  const ReleasePlan plan = ReleasePlan::make(project, configuration, arguments);
  describe(plan);

  if (arguments.hasFlag("dry-run")) {
    if (const auto preview = arguments.value("preview")) {
      const std::filesystem::path destination = commandLinePath(*preview);
      WindowPreview::write(plan, destination);
      Console::shared().result(destination.string());
      if (plan.volumeIcon) describeVolumeIcon(plan);
    }
    reportDryRun(plan);
    return ExitCode::success;
  }
  // The update key and the feed are checked before anything is built.
  std::optional<FeedPublication> feed;
  if (plan.appcast) feed.emplace(FeedPublication::prepare(plan));
  ReleaseSteps steps;
  steps.updateFeed = [&feed, &plan](const ReleaseOutcome& outcome) {
    if (!feed) return;
    if (outcome.problems.empty())
      feed->publish(plan, outcome);
    else
      Console::shared().warning("The update feed " + plan.appcast->filename().string() +
                                " was left as it was, because some checks did not pass.");
  };
  const ReleaseOutcome outcome = ReleasePipeline(std::move(steps)).run(plan);
  return report(outcome, plan);
}

void StartCommand::describeVolumeIcon(const ReleasePlan& plan, Console& console) {
  const auto& source = plan.project.appSource;
  if (plan.project.isZip) {
    console.info("Volume icon: the app's icon, once " + source.filename().string() +
                 " is unpacked");
  } else if (const auto icon = halyard::VolumeIcon::appIconFile(source)) {
    console.info("Volume icon: " + icon->filename().string() + " from " +
                 source.filename().string());
  } else {
    console.warning(source.filename().string() + " has no .icns icon file, so the DMG's volume "
                                                 "will keep the standard disk icon.");
  }
}

bool StartCommand::needsSetup(const ConfigurationResolver& configuration) {
  if (configuration.hasUserConfiguration()) return false;
  const bool signingUnset = configuration.boolean("sign") && !configuration.value("identity");
  const bool notarizationUnset = configuration.boolean("notarize") &&
                                 !configuration.value("keychainProfile") &&
                                 !configuration.value("apiKeyPath");
  return signingUnset || notarizationUnset;
}

void StartCommand::describe(const ReleasePlan& plan, Console& console) {
  console.info("Project: " + plan.project.folder.string());
  console.info("App: " + plan.project.appSource.filename().string());
  if (plan.format == OutputKind::dmg) {
    console.info("Template: " + (plan.project.templateURL
                                     ? plan.project.templateURL->filename().string()
                                     : std::string("none (default Halyard style)")));
  }
  console.info("License agreement: " + (plan.project.legalDocuments.empty()
                                            ? std::string("none")
                                            : fileNamesJoined(plan.project.legalDocuments)));
  console.info("Output: " + plan.outputURL.string());
  const auto steps = plan.steps();
  for (size_t index = 0; index < steps.size(); ++index) {
    console.detail(std::to_string(index + 1) + ". " + steps[index]);
  }
}

void StartCommand::reportDryRun(const ReleasePlan& plan, Console& console) {
  if (console.isJSON()) {
    nlohmann::json fields = nlohmann::json::object();
    fields["folder"] = plan.project.folder.string();
    fields["app"] = plan.project.appSource.string();
    fields["template"] = plan.project.templateURL
                             ? nlohmann::json(plan.project.templateURL->string())
                             : nlohmann::json(nullptr);
    fields["output"] = plan.outputURL.string();
    fields["format"] = std::string(fileExtension(plan.format));
    fields["steps"] = plan.steps();
    console.event("plan", std::move(fields));
  } else {
    console.result("Dry run: nothing was changed.");
  }
}

ExitCode StartCommand::report(const ReleaseOutcome& outcome, const ReleasePlan& plan,
                              Console& console) {
  // Checks cut short by a cancellation are no result: once it has begun, the cancellation's own
  // lines are the last the run prints.
  const SignalHandler& signals = SignalHandler::shared();
  signals.waitWhileHandling();
  using Check = ReleasePipeline::Check;
  const auto checkLine = [&](Check check, const halyard::ReleaseCheckStatus& status) {
    const std::string label = ReleasePipeline::label(plan, check);
    if (status.isPassed()) {
      console.check(label, "", Console::Mark::passed);
    } else if (ReleasePipeline::isRequired(plan, check)) {
      console.check(label, status.reason().value_or(""), Console::Mark::failed);
    } else {
      // Only the app's signing says why it was skipped.
      console.check(label, check == Check::appSigning ? status.reason().value_or("") : "",
                    Console::Mark::skipped);
    }
  };
  if (const auto& app = outcome.appCheck) {
    checkLine(Check::appSigning, app->signing);
    checkLine(Check::appNotarization, app->notarization);
    checkLine(Check::appStapling, app->stapling);
  }
  checkLine(Check::signing, outcome.artifactCheck.signing);
  checkLine(Check::notarization, outcome.artifactCheck.notarization);
  checkLine(Check::stapling, outcome.artifactCheck.stapling);

  const ExitCode code = outcome.problems.empty() ? ExitCode::success : ExitCode::verification;
  if (console.isJSON()) {
    nlohmann::json summary = nlohmann::json::object();
    summary["exitCode"] = exitCodeNumber(code);
    summary["class"] = std::string(exitCodeName(code));
    summary["artifact"] = outcome.artifactURL.string();
    summary["format"] = std::string(fileExtension(plan.format));
    summary["checks"] = {
        {"app", outcome.appCheck ? checkPayload(*outcome.appCheck) : nlohmann::json(nullptr)},
        {"artifact", checkPayload(outcome.artifactCheck)}};
    summary["problems"] = outcome.problems;
    console.event("summary", std::move(summary));
  }
  const std::string name = outcome.artifactURL.filename().string();
  if (outcome.problems.empty()) {
    console.success("Created " + name);
  } else {
    console.failure(CLIError(ExitCode::verification,
                             name + " was created, but some checks did not pass.",
                             halyard::text::joined(outcome.problems, "\n  ")));
  }
  signals.waitWhileHandling();
  console.result(outcome.artifactURL.string());
  if (console.outputFailed()) {
    // A script reading the path (or the JSON lines) got nothing: not a success, and the release
    // is still named where a person will see it.
    console.failure(CLIError(ExitCode::failure, "The release was made at " +
                                                    outcome.artifactURL.string() +
                                                    ", but standard output could not be written."));
    return code == ExitCode::success ? ExitCode::failure : code;
  }
  return code;
}

} // namespace bosun
