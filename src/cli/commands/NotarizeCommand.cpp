#include "cli/commands/NotarizeCommand.hpp"

#include <algorithm>

#include "cli/commands/InputFile.hpp"
#include "cli/console/CLIError.hpp"
#include "cli/console/CheckLines.hpp"
#include "cli/console/CheckPayload.hpp"
#include "cli/console/Console.hpp"
#include "cli/console/Redactor.hpp"
#include "cli/console/SignalHandler.hpp"
#include "cli/release/SubmissionCache.hpp"
#include "cli/release/SubmissionResumption.hpp"
#include "cli/release/SubmissionTracker.hpp"
#include "cli/settings/ConfigurationResolver.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "cli/settings/StandardizedPath.hpp"
#include "core/Inspection/ReleaseCheck.hpp"
#include "core/Notarization/ArtifactNotarizationCoordinator.hpp"
#include "core/Notarization/ArtifactNotarizationCoordinatorError.hpp"
#include "core/Notarization/NotaryPolling.hpp"
#include "core/Signing/SigningIdentityDetector.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/SHA256.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace {

namespace fs = std::filesystem;

bool existsAt(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// A name as shown on a terminal: control characters made visible, so a file name cannot steer it.
std::string shown(const fs::path& path) {
  return halyard::text::printable(path.string());
}

// A failed submission told plainly: for a verdict, the submission, its status and the issues of
// its notary log; for a network failure, that the service could not be reached. Anything else:
// none, and the notary's own words stand.
std::optional<CLIError>
submissionFailure(const halyard::ArtifactNotarizationCoordinatorError& error,
                  const halyard::NotaryCredentials& credentials, const std::string& name) {
  if (SignalHandler::shared().isHandling()) return std::nullopt;
  if (error.isOffline()) {
    return CLIError(ExitCode::notarization,
                    "Notarization failed: the notary service could not be reached.",
                    "Check the network connection and try again.");
  }
  const std::string& id = error.submissionID();
  if (id.empty()) return std::nullopt;
  using halyard::text::printable;
  std::string message = "Notarization failed: the notary service judged " + name + " " +
                        printable(error.verdictStatus()) + " (submission " + printable(id) + ").";
  if (const auto log = halyard::NotaryPolling::standard().log(id, credentials)) {
    for (const auto& issue : log->issues) {
      message += "\n  " + (issue.path.empty() ? name : printable(issue.path)) + ": " +
                 printable(issue.message);
    }
  }
  return CLIError(ExitCode::notarization, message,
                  "See the whole log with `xcrun notarytool log " + id + "`.");
}

// The identity to sign with, or none (with the PKG warning when nothing is configured).
std::optional<std::string> signingIdentity(const ParsedArguments& parsed,
                                           const ConfigurationResolver& configuration,
                                           halyard::ArtifactKind kind) {
  if (parsed.hasFlag("no-sign")) return std::nullopt;
  const bool isDMG = kind == halyard::ArtifactKind::dmg;
  const auto configured = configuration.value(isDMG ? "identity" : "installerIdentity");
  const std::string identity = halyard::text::trimmed(configured.value_or(""));
  if (identity.empty()) {
    if (!isDMG) {
      Console::shared().warning(
          "No Developer ID Installer identity is configured, so the PKG keeps its current "
          "signature.");
    }
    return std::nullopt;
  }

  const auto listing = halyard::SigningIdentityDetector::list(
      isDMG ? halyard::SigningIdentityKind::application : halyard::SigningIdentityKind::installer);
  if (!halyard::SigningIdentityDetector::firstMatch(listing.installed(), identity)) {
    throw CLIError::identityNotFound("signing identity", identity, listing.identities,
                                     "Add --no-sign to keep the file's current signature.");
  }
  return identity;
}

// The finished file is renamed into the target's folder at the very end: find out now, before
// anything is signed or submitted, whether that folder takes new files.
void requireWritableFolder(const fs::path& target) {
  try {
    halyard::TemporaryFolder probe(target.parent_path(), ".bosun-notarize-");
  } catch (const halyard::Error& error) {
    throw CLIError(ExitCode::input,
                   "Cannot write to " + target.parent_path().string() + ": " +
                       std::error_code(error.code(), std::generic_category()).message() + ".",
                   "Use --output <file or folder> to write the notarized file elsewhere.");
  }
}

ExitCode report(const fs::path& target, const halyard::ReleaseCheckResult& checks) {
  Console& console = Console::shared();
  const std::string name = shown(target.filename());
  const std::vector<std::string> problems = printCheckLines(console, checks);
  const ExitCode code = problems.empty() ? ExitCode::success : ExitCode::verification;
  if (console.isJSON()) {
    auto summary = checkPayload(checks);
    summary["exitCode"] = exitCodeNumber(code);
    summary["class"] = std::string(exitCodeName(code));
    summary["artifact"] = target.string();
    summary["problems"] = problems;
    console.event("summary", Redactor::redact(std::move(summary), {"file", "artifact"}));
  }
  if (problems.empty()) {
    console.success(name + " is signed, notarized and stapled");
  } else {
    console.failure(CLIError(ExitCode::verification,
                             name + " was notarized, but some checks did not pass.",
                             halyard::text::joined(problems, "\n  ")));
  }
  console.result(target.string());
  return code;
}

} // namespace

ExitCode NotarizeCommand::run(const ParsedArguments& parsed) {
  // The parser takes every command's options; a dry run asked for must never become a real one.
  if (parsed.hasFlag("dry-run")) {
    throw CLIError(ExitCode::usage, "`bosun notarize` has no dry run.",
                   "Run `bosun verify <file>` to check a file without changing it.");
  }
  const auto output = parsed.value("output");
  if (output && output->empty()) {
    throw CLIError(ExitCode::usage, "--output needs a file or folder.",
                   "Leave out --output to notarize the file in place.");
  }
  if (parsed.positionals.size() != 1) {
    throw CLIError(ExitCode::usage, "notarize needs one .dmg or .pkg.",
                   "Example: bosun notarize MyApp.dmg");
  }
  const fs::path input = commandLinePath(parsed.positionals.front());
  // A release whose wait ended without a verdict left no file at its output, only the kept
  // upload: collecting that submission needs nothing at the path.
  const auto submission = parsed.value("submission");
  const bool keptForInput = submission && [&] {
    const auto record = SubmissionCache().find(*submission);
    std::error_code error;
    return record && record->target == input && fs::is_regular_file(record->file, error) &&
           !fs::exists(fs::symlink_status(input, error));
  }();
  if (!keptForInput) InputFile::requireExisting(parsed.positionals.front(), input, input.string());

  const std::string extension = halyard::text::lowercasedASCII(input.extension().string());
  if (extension != ".dmg" && extension != ".pkg") {
    throw CLIError(ExitCode::input, "notarize works with .dmg and .pkg files.",
                   "To release an app, use `bosun start`.");
  }
  const auto kind = extension == ".dmg" ? halyard::ArtifactKind::dmg : halyard::ArtifactKind::pkg;
  if (!keptForInput) InputFile::requireReadableFile(input, input.string());

  const ConfigurationResolver configuration(parsed, input.parent_path());
  const auto credentials = configuration.credentials();
  if (!credentials) {
    throw CLIError(
        ExitCode::credentials, "No notarization credentials are configured.",
        "Run `bosun setup`, or pass --profile <keychain profile> or --key/--key-id/--issuer.");
  }
  const auto identity = signingIdentity(parsed, configuration, kind);

  const double wait = configuration.notaryWait();
  if (submission && !SubmissionCache::isSubmissionID(*submission)) {
    throw CLIError(ExitCode::usage,
                   "\"" + halyard::text::printable(*submission) + "\" is not a submission id.",
                   "Use the id bosun printed, for example 2efe2717-52ef-43a5-96dc-0797e4ca1041.");
  }

  const fs::path target =
      prepareTarget(input, output, parsed.hasFlag("overwrite") || parsed.hasFlag("yes"));
  requireWritableFolder(target);
  Console& console = Console::shared();
  console.info("File: " + shown(target));

  // A submission that an earlier run uploaded is collected rather than uploaded again.
  const SubmissionCache cache;
  const auto polling = halyard::NotaryPolling::standard();
  // What an upload is made from: the file as it is now, before it is signed. A submission is
  // resumed only for the same file (one rebuilt since must not be replaced by the older upload).
  const auto inputDigest = [&input] { return halyard::SHA256::hexDigestOfFile(input); };
  std::optional<SubmissionResumption> resumption;
  if (submission) {
    resumption =
        SubmissionResumption::named(*submission, input, target, *credentials, polling, wait, cache);
  } else {
    resumption = SubmissionResumption::lookup(target, inputDigest, *credentials, polling, cache);
    if (resumption) {
      console.step("Resuming submission " + resumption->id + " of " + shown(target.filename()) +
                   " instead of uploading it again…");
    }
  }

  console.step("Notarizing " + shown(target.filename()) + " (this can take a few minutes)…");
  halyard::ArtifactNotarizationCoordinator coordinator;
  SubmissionTracker tracker(target, inputDigest, cache);
  halyard::ArtifactNotarizationResult result;
  {
    // Ctrl-C stops the tool through the process registry; the tracker keeps an uploaded file
    // whose verdict is still to come before the clean-up registry removes what the run made.
    try {
      halyard::ArtifactNotarizationConfig config(resumption ? resumption->file : input, identity,
                                                 *credentials, kind);
      config.destination = target;
      config.notaryWait = wait;
      if (resumption) {
        config.submissionID = resumption->id;
        tracker.resume(resumption->id);
      }
      tracker.attach(config);
      result = coordinator.run(config, [&console](const std::string& line) { console.step(line); });
    } catch (const halyard::ArtifactNotarizationCoordinatorError& error) {
      // The clean-up may be using the tracker on the signal's thread: the tracker must outlive
      // it (the handler ends the process).
      SignalHandler::shared().waitWhileHandling();
      // Without a verdict the submission's id and the way to collect it are what matter.
      if (tracker.isUnfinished())
        throw tracker.withSubmission(CLIError::from(error, ExitCode::notarization));
      // A verdict ends the submission's story: what was kept for it goes.
      tracker.finished();
      if (resumption) cache.remove(resumption->id);
      // Kept signatures are checked first: a DMG with none and nothing to sign it with is a
      // signing problem, not a stapling one.
      if (kind == halyard::ArtifactKind::dmg && !identity && !resumption &&
          error.isUnsignedFile()) {
        throw CLIError(ExitCode::signing,
                       shown(input.filename()) + " is not signed, and no signing identity is "
                                                 "configured.",
                       "Pass --identity \"Developer ID Application: …\" (or set `identity`) to "
                       "sign it.");
      }
      if (auto failure = submissionFailure(error, *credentials, shown(input.filename())))
        throw *std::move(failure);
      throw CLIError::from(std::current_exception(), ExitCode::notarization);
    } catch (...) {
      SignalHandler::shared().waitWhileHandling();
      tracker.finished();
      throw tracker.withSubmission(
          CLIError::from(std::current_exception(), ExitCode::notarization));
    }
  }
  tracker.finished();
  if (resumption) cache.remove(resumption->id);
  console.detail(result.notarizationOutput);

  console.step("Checking signing, notarization and stapling…");
  auto checks = halyard::ReleaseCheck::run(target, kind == halyard::ArtifactKind::dmg
                                                       ? halyard::ReleaseCheck::Kind::dmg
                                                       : halyard::ReleaseCheck::Kind::pkg);
  checks.fileName = target.filename().string();
  SignalHandler::shared().waitWhileHandling(); // checks stopped by a cancellation are no result
  return report(target, checks);
}

fs::path NotarizeCommand::prepareTarget(const fs::path& source,
                                        const std::optional<std::string>& output, bool overwrite) {
  if (!output) return source;
  const fs::path named =
      standardizedPath(*output, source.parent_path(), halyard::UserFolders::home());
  std::error_code error;
  const bool namesFolder = fs::is_directory(named, error) ||
                           halyard::text::lowercasedASCII(named.extension().string()) !=
                               halyard::text::lowercasedASCII(source.extension().string());
  const fs::path target = namesFolder ? named / source.filename() : named;
  if (target == source) return source;

  fs::create_directories(target.parent_path(), error);
  if (error) {
    throw CLIError(ExitCode::input,
                   "Could not copy to " + target.string() + ": " + error.message());
  }
  if (existsAt(target) && !overwrite) {
    throw CLIError(ExitCode::input, target.string() + " already exists.",
                   "Add --overwrite to replace it.");
  }
  // The copy itself is made by the notarization, beside the target, and renamed over it only
  // once every step has passed: a failed or cancelled run leaves an existing target as it was.
  return target;
}

} // namespace bosun
