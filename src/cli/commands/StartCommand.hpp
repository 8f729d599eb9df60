#pragma once

#include "cli/console/Console.hpp"
#include "cli/console/ExitCode.hpp"
#include "cli/release/ReleasePipeline.hpp"
#include "cli/release/ReleasePlan.hpp"
#include "cli/settings/ConfigurationResolver.hpp"
#include "cli/settings/ParsedArguments.hpp"

namespace bosun {

// `bosun start [folder | .app | .zip]`: finds the project, resolves the settings, makes and
// describes the release plan, and with --dry-run prints it and stops; otherwise runs the release
// pipeline and reports its outcome.
struct StartCommand {
  // Throws CLIError for every failure it finds.
  static ExitCode run(const ParsedArguments& arguments);

  // True when nothing was set up yet: no user config file, and signing or notarization is on
  // without what it needs.
  static bool needsSetup(const ConfigurationResolver& configuration);

  // The plan as information lines, and its steps as numbered detail lines.
  static void describe(const ReleasePlan& plan, Console& console = Console::shared());

  // With --preview: where the volume's icon will come from (a warning when the app has none).
  static void describeVolumeIcon(const ReleasePlan& plan, Console& console = Console::shared());

  // The end of a dry run: the JSON event "plan", or "Dry run: nothing was changed." on standard
  // output.
  static void reportDryRun(const ReleasePlan& plan, Console& console = Console::shared());

  // The outcome of a release: the check lines (app first, when it was checked), the JSON event
  // "summary", "Created NAME" or the failure of the checks, and the file's path on standard
  // output. Returns `verification` when a required check failed, else `success`.
  static ExitCode report(const ReleaseOutcome& outcome, const ReleasePlan& plan,
                         Console& console = Console::shared());
};

} // namespace bosun
