#include "cli/commands/UpdateCommand.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <vector>

#include "cli/commands/HelpCommand.hpp"
#include "cli/commands/UpdateCompatibility.hpp"
#include "cli/commands/UpdateNotice.hpp"
#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/ResourceDirectory.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UUID.hpp"
#include "core/Updates/BosunRelease.hpp"
#include "core/Updates/HostProcessor.hpp"
#include "core/Updates/ReleaseVersion.hpp"

namespace bosun {

namespace fs = std::filesystem;
using halyard::BosunRelease;

namespace {

constexpr const char* administratorHint =
    "Run `sudo bosun update`, or update it from Halyard Settings > Bosun.";

nlohmann::json updateEvent(const std::string& current, const std::string& latest, bool updated) {
  return {{"current", current}, {"latest", latest}, {"updated", updated}};
}

ExitCode exitCodeFor(const BosunRelease::Failure& failure) {
  switch (failure.kind()) {
  case BosunRelease::Failure::Kind::checksum:
  case BosunRelease::Failure::Kind::signature:
    return ExitCode::signing;
  default:
    return ExitCode::failure;
  }
}

} // namespace

std::optional<fs::path> UpdateCommand::runningExecutable() {
  return halyard::ResourceDirectory::executablePath();
}

void UpdateCommand::checkReplaceable(const fs::path& executable, const std::string& latest) {
  const std::string text = executable.string();
  if (text.find("/Cellar/") != std::string::npos)
    throw CLIError(ExitCode::failure, "This Bosun was installed with Homebrew.",
                   "Run `brew upgrade bosun`.");
  if (text.find(".app/Contents/") != std::string::npos)
    throw CLIError(ExitCode::failure, "This copy of Bosun lives inside Halyard.",
                   "Update it from Halyard Settings > Bosun.");
  const fs::path folder = executable.parent_path();
  if (::access(folder.c_str(), W_OK) != 0)
    throw CLIError(ExitCode::failure,
                   "Bosun " + latest + " is available, but " + folder.string() +
                       " needs administrator rights.",
                   administratorHint);
}

void UpdateCommand::install(const fs::path& verified, const fs::path& executable,
                            const std::function<void(const fs::path&)>& temporaryChosen) {
  halyard::AtomicFileCopy copy(verified, executable);
  if (temporaryChosen) temporaryChosen(copy.temporaryPath());
  // On disk before the rename, so that a crash cannot leave an empty command behind.
  const auto error =
      copy.commit(fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                  fs::perms::others_read | fs::perms::others_exec);
  if (error) throw CLIError(ExitCode::failure, "Could not install the update: " + error.message());
}

ExitCode UpdateCommand::run(const ParsedArguments& parsed) {
  if (parsed.hasFlag("dry-run"))
    throw CLIError(ExitCode::usage, "`bosun update` has no dry run.",
                   "Run `bosun update --check` to see whether an update exists.");
  Console& console = Console::shared();
  const std::string current = HelpCommand::version();

  console.step("Checking for a newer Bosun…");
  BosunRelease release;
  try {
    release = BosunRelease::fetchLatest();
  } catch (const BosunRelease::Failure& failure) {
    throw CLIError(ExitCode::failure, "Could not check for Bosun updates: " + failure.message());
  }
  UpdateNotice::saveCache(UpdateNotice::cacheURL(parsed),
                          {std::chrono::system_clock::now(), release.version});
  // The manifest comes from the network: its text is shown with control characters made visible.
  const std::string latest = halyard::text::printable(release.version);

  if (!halyard::ReleaseVersion::isNewer(release.version, current)) {
    if (console.isJSON())
      console.event("update", updateEvent(current, latest, false));
    else
      console.success("Bosun " + current + " is up to date.");
    return ExitCode::success;
  }

  if (const auto blocked =
          UpdateCompatibility::blockedMessage(release, UpdateCompatibility::systemVersion(),
                                              halyard::HostProcessor::isAppleSilicon())) {
    if (console.isJSON()) {
      auto fields = updateEvent(current, latest, false);
      fields["blocked"] = *blocked;
      console.event("update", std::move(fields));
    }
    throw CLIError(ExitCode::failure, *blocked);
  }

  if (parsed.hasFlag("check")) {
    if (console.isJSON())
      console.event("update", updateEvent(current, latest, false));
    else
      console.info("Bosun " + latest + " is available (you have " + current +
                   "). Run `bosun update` to install it.");
    return ExitCode::success;
  }

  const auto executable = runningExecutable();
  if (!executable) throw CLIError(ExitCode::failure, "Bosun could not find its own location.");
  checkReplaceable(*executable, latest);

  console.step("Downloading Bosun " + latest);
  // Removed on Ctrl-C (the signal handler ends the process without running destructors); the
  // download and the installation remove them otherwise.
  std::vector<halyard::CleanupRegistry::Entry> temporaries;
  try {
    const auto verified =
        BosunRelease::downloadVerifiedBinary(release, [&](const fs::path& folder) {
          temporaries.push_back(halyard::CleanupRegistry::shared().addPath(folder));
        });
    console.step("Installing Bosun " + latest);
    install(verified.file, *executable, [&](const fs::path& file) {
      temporaries.push_back(halyard::CleanupRegistry::shared().addPath(file));
    });
  } catch (const BosunRelease::Failure& failure) {
    throw CLIError(exitCodeFor(failure), failure.message());
  } catch (const CLIError&) {
    throw;
  } catch (const halyard::Error& error) {
    // The temporary folder could not be made.
    throw CLIError(ExitCode::failure, "Could not install the update: " + error.description());
  }

  if (console.isJSON())
    console.event("update", updateEvent(current, latest, true));
  else
    console.success("Updated Bosun " + current + " to " + latest);
  return ExitCode::success;
}

} // namespace bosun
