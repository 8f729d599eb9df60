#include "core/Notarization/ArtifactNotarizationCoordinator.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "core/Notarization/ArtifactNotarizationSteps.hpp"
#include "core/Notarization/NotaryPollingError.hpp"
#include "core/Notarization/Stapler.hpp"
#include "core/PKG/Packages.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Signing/Gatekeeper.hpp"
#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/Error.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UUID.hpp"
#include "core/Support/UserFolders.hpp"

namespace halyard {

namespace {

using Steps = ArtifactNotarizationSteps;
using Case = ArtifactNotarizationCoordinatorError::Case;
namespace fs = std::filesystem;

void trace(const std::string& line) {
  if (HalyardCoreLog::wantsDebug()) HalyardCoreLog::debugMessage("[ArtifactNotarization] " + line);
}

// A trace line whose text needs a tool run of its own: the tool runs only when the trace is read.
template <typename Text> void traceRunning(Text&& text) {
  if (HalyardCoreLog::wantsDebug()) trace(text());
}

void report(const ArtifactNotarizationCoordinator::Progress& progress, const std::string& line) {
  if (progress) progress(line);
}

const char* boolText(bool value) {
  return value ? "true" : "false";
}

bool fileExists(const fs::path& file) {
  std::error_code error;
  return fs::exists(file, error);
}

[[noreturn]] void fail(Case failure, std::string text) {
  throw ArtifactNotarizationCoordinatorError(failure, std::move(text));
}

} // namespace

// A file of the run that must not outlive it: known to discardTemporaryFiles()
// while it exists, removed (errors ignored) when the scope that made it ends,
// whatever the outcome.
class ArtifactNotarizationCoordinator::TemporaryFile {
public:
  TemporaryFile(ArtifactNotarizationCoordinator& owner, fs::path path, std::string traceText = {})
      : owner_(owner), path_(std::move(path)), traceText_(std::move(traceText)) {
    owner_.remember(path_);
  }
  ~TemporaryFile() {
    if (!traceText_.empty()) trace(traceText_ + path_.string());
    ::unlink(path_.c_str());
    owner_.forget(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const fs::path& path() const { return path_; }

private:
  ArtifactNotarizationCoordinator& owner_;
  fs::path path_;
  std::string traceText_;
};

class ArtifactNotarizationCoordinator::WorkingCopy {
public:
  WorkingCopy(ArtifactNotarizationCoordinator& owner, const fs::path& destination)
      : owner_(owner), folder_(makeFolder(destination)), destination_(destination),
        path_(folder_.path() / destination.filename()) {
    const std::lock_guard<std::mutex> guard(owner_.lock_);
    owner_.temporaryFolders_.push_back(folder_.path());
  }
  ~WorkingCopy() {
    const std::lock_guard<std::mutex> guard(owner_.lock_);
    std::erase(owner_.temporaryFolders_, folder_.path());
  }
  WorkingCopy(const WorkingCopy&) = delete;
  WorkingCopy& operator=(const WorkingCopy&) = delete;

  const fs::path& path() const { return path_; }

  void copyFrom(const fs::path& file) const {
    std::error_code error;
    fs::copy_file(file, path_, error);
    if (error) {
      fail(Case::notarizationFailed,
           "Halyard could not copy " + file.string() + " to work on it: " + error.message());
    }
  }

  // Puts the finished copy in the destination's place.
  void commit() const {
    if (const auto error = AtomicFileCopy::replace(path_, destination_)) {
      fail(Case::validationFailed, "The file was processed successfully, but Halyard could not "
                                   "replace " +
                                       destination_.string() + ": " + error.message());
    }
  }

private:
  static TemporaryFolder makeFolder(const fs::path& destination) {
    try {
      return TemporaryFolder(destination.parent_path(), ".bosun-notarize-");
    } catch (const Error& error) {
      fail(Case::notarizationFailed, error.what());
    }
  }

  ArtifactNotarizationCoordinator& owner_;
  TemporaryFolder folder_;
  fs::path destination_;
  fs::path path_;
};

ArtifactNotarizationResult
ArtifactNotarizationCoordinator::run(const ArtifactNotarizationConfig& config,
                                     const Progress& progress) {
  const fs::path& path = config.artifactURL;
  const bool present = fileExists(path);
  trace("run() started");
  trace("artifact path: " + path.string());
  trace("artifact kind: " + std::string(artifactKindName(config.kind)));
  trace(std::string("artifact exists: ") + boolText(present));
  trace("raw signing identity: " + config.signingIdentity.value_or("<nil>"));
  trace("notary credentials: " + config.credentials.displayName());

  if (!present) fail(Case::missingArtifact, {});
  if (config.credentials.isEmpty()) {
    fail(Case::notarizationFailed, "The notarization credentials are empty.");
  }
  // The tools get an absolute path, so a file name beginning with "-" is never
  // read as an option.
  const fs::path file = fs::absolute(path).lexically_normal();
  const fs::path destination =
      config.destination.empty() ? file : fs::absolute(config.destination).lexically_normal();
  return config.kind == ArtifactKind::dmg ? notarizeDMG(config, file, destination, progress)
                                          : notarizePKG(config, file, destination, progress);
}

ArtifactNotarizationResult
ArtifactNotarizationCoordinator::notarizeDMG(const ArtifactNotarizationConfig& config,
                                             const fs::path& original, const fs::path& destination,
                                             const Progress& progress) {
  const WorkingCopy working(*this, destination);
  working.copyFrom(original);
  const fs::path& file = working.path();
  std::string signingText;
  // A file collected from an earlier submission keeps the signature Apple has seen.
  const auto identity =
      config.submissionID ? std::nullopt : Steps::applicationIdentity(config.signingIdentity);
  if (identity) {
    report(progress, "Signing DMG…");
    signingText = Steps::checkedOutput(
        runTool(AppleTools::codesign, {"--force", "--sign", *identity, file.string()}),
        Case::signingFailed, "DMG signing failed.");
  }
  report(progress, "Verifying DMG signature…");
  const std::string checkText = verifyDMGSignature(file);
  report(progress, "Submitting DMG for notarization…");
  std::string notarization = submit(file, config);
  report(progress, "Stapling DMG…");
  std::string stapling = staple(file, progress);
  report(progress, "Validating stapled DMG…");
  std::string validation = validate(file, ArtifactKind::dmg);
  working.commit();

  return ArtifactNotarizationResult{destination,
                                    ArtifactKind::dmg,
                                    Steps::joinedWithBlankLine({signingText, checkText}),
                                    std::move(notarization),
                                    std::move(stapling),
                                    std::move(validation)};
}

ArtifactNotarizationResult
ArtifactNotarizationCoordinator::notarizePKG(const ArtifactNotarizationConfig& config,
                                             const fs::path& original, const fs::path& destination,
                                             const Progress& progress) {
  const std::string identity = config.submissionID
                                   ? std::string()
                                   : Steps::normalizedInstallerIdentity(config.signingIdentity);
  const bool canSign = !identity.empty();
  trace("notarizePKG() started");
  trace("original PKG path: " + original.string());
  traceRunning([&] { return "original PKG sha256: " + digest(original); });
  trace("raw installer identity: " + config.signingIdentity.value_or("<nil>"));
  trace("normalized installer identity: " + identity);
  trace(std::string("canSignPackage: ") + boolText(canSign));

  std::optional<TemporaryFile> signedCopy;
  std::optional<WorkingCopy> keptCopy;
  fs::path working = original;
  std::string signingText;
  if (!canSign) {
    trace("PKG signing skipped");
    trace(std::string("reason: ") + Steps::pkgSigningSkipped);
    trace("verifying PKG at path: " + original.string());
    signingText = Steps::pkgSigningSkipped;
    // Stapling writes into the file: that happens on a copy until validation has passed.
    keptCopy.emplace(*this, destination);
    keptCopy->copyFrom(original);
    working = keptCopy->path();
  } else {
    report(progress, "Signing PKG…");
    trace("PKG signing will proceed with Developer ID Installer identity");
    const fs::path folder = UserFolders::temporary() / temporaryFolderName;
    std::error_code error;
    fs::create_directories(folder, error);
    // It holds signed copies of the user's packages while they exist: private to the user.
    if (!error && ::chmod(folder.c_str(), 0700) != 0) error.assign(errno, std::generic_category());
    if (error) {
      fail(Case::signingFailed,
           "Halyard could not create a temporary folder for PKG signing: " + error.message());
    }
    signedCopy.emplace(*this, folder / (UUID::randomString() + "-" + original.filename().string()),
                       "Cleaning up temporary signed PKG at: ");
    working = signedCopy->path();
    trace("temporary signed PKG path: " + working.string());
    signingText = Steps::checkedOutput(Packages::sign(identity, original, working, runTool),
                                       Case::signingFailed, "PKG signing failed.");
    const bool created = fileExists(working);
    trace("PKG signing completed");
    trace(std::string("signed temp PKG exists immediately after productsign: ") +
          boolText(created));
    trace("signed temp PKG path: " + working.string());
    if (!created) {
      fail(Case::signingFailed, "productsign reported success, but the signed "
                                "PKG was not created at: " +
                                    working.string());
    }
    traceRunning([&] { return "signed temp PKG sha256: " + digest(working); });
    trace("signed temp PKG signature check follows");
  }

  trace(std::string("working PKG exists before verification: ") + boolText(fileExists(working)));
  report(progress, canSign ? "Checking PKG signature…" : "Checking existing PKG signature…");
  const std::string checkText = checkPKGSignature(working);
  trace("PKG verification output:\n" + checkText);

  trace(std::string("working PKG exists before notarization submit: ") +
        boolText(fileExists(working)));
  report(progress, "Submitting PKG for notarization…");
  std::string notarization = submit(working, config);
  trace("PKG notarization output:\n" + notarization);

  trace(std::string("working PKG exists before stapling: ") + boolText(fileExists(working)));
  report(progress, "Stapling PKG…");
  std::string stapling = staple(working, progress);
  trace("PKG stapling output:\n" + stapling);

  trace(std::string("working PKG exists before validation: ") + boolText(fileExists(working)));
  report(progress, "Validating stapled PKG…");
  std::string validation = validate(working, ArtifactKind::pkg);
  trace("PKG validation output:\n" + validation);

  trace(std::string("workingURL != originalURL: ") + boolText(working != destination));
  if (working != destination) {
    trace("replacing original PKG with processed PKG");
    if (keptCopy) {
      keptCopy->commit();
    } else {
      replaceOriginal(working, destination);
    }
    trace("original PKG replaced successfully");
    traceRunning([&] { return "final PKG sha256: " + digest(destination); });
    traceRunning([&] {
      std::string finalSignature;
      try {
        finalSignature = checkPKGSignature(destination);
      } catch (const ArtifactNotarizationCoordinatorError&) {
        finalSignature = Steps::unavailableDigest;
      }
      return "final PKG signature after replacement:\n" + finalSignature;
    });
  }
  trace("notarizePKG() completed");

  if (canSign && HalyardCoreLog::wantsDebug()) {
    // For the trace only: a signer other than the expected one does not fail
    // the run.
    std::string report;
    try {
      report = checkPKGSignature(destination);
    } catch (const ArtifactNotarizationCoordinatorError& error) {
      report = error.text();
    }
    trace("expected installer identity: " + identity);
    trace("expected installer identity was derived from raw input: " +
          config.signingIdentity.value_or("<nil>"));
    trace(std::string("final signer matches expected identity: ") +
          boolText(text::containsIgnoringCase(report, identity)));
    trace("final signature report:\n" + report);
  }

  return ArtifactNotarizationResult{destination,
                                    ArtifactKind::pkg,
                                    Steps::joinedWithBlankLine({signingText, checkText}),
                                    std::move(notarization),
                                    std::move(stapling),
                                    std::move(validation)};
}

void ArtifactNotarizationCoordinator::replaceOriginal(const fs::path& working,
                                                      const fs::path& original) {
  AtomicFileCopy copy(working, original);
  const TemporaryFile partial(*this, copy.temporaryPath());
  if (const std::error_code error = copy.commit()) {
    fail(Case::validationFailed, "The PKG was processed successfully, but Halyard could not "
                                 "replace the original file with the stapled signed package: " +
                                     error.message());
  }
}

std::string ArtifactNotarizationCoordinator::checkStatus(const fs::path& file, ArtifactKind kind,
                                                         const Progress& progress) {
  if (!fileExists(file)) fail(Case::missingArtifact, {});
  const fs::path path = fs::absolute(file).lexically_normal();
  std::string signature;
  if (kind == ArtifactKind::dmg) {
    report(progress, "Verifying DMG signature…");
    signature = verifyDMGSignature(path);
    report(progress, "Validating stapled DMG…");
  } else {
    report(progress, "Checking PKG signature…");
    signature = checkPKGSignature(path);
    report(progress, "Validating stapled PKG…");
  }
  return Steps::joinedWithBlankLine({signature, validate(path, kind)});
}

ArtifactKind ArtifactNotarizationCoordinator::detectArtifactKind(const fs::path& file) {
  return Steps::detectArtifactKind(file);
}

std::string ArtifactNotarizationCoordinator::verifyDMGSignature(const fs::path& file) {
  return Steps::checkedOutput(
      runTool(AppleTools::codesign, {"--verify", "--verbose=2", file.string()}),
      Case::validationFailed, "Artifact signature verification failed.");
}

std::string ArtifactNotarizationCoordinator::checkPKGSignature(const fs::path& file) {
  if (!fileExists(file)) {
    fail(Case::validationFailed, "PKG signature verification could not start "
                                 "because the package does not exist at: " +
                                     file.string());
  }
  return Steps::checkedOutput(Packages::checkSignature(file, runTool).run, Case::validationFailed,
                              "PKG signature verification failed.");
}

std::string ArtifactNotarizationCoordinator::submit(const fs::path& file,
                                                    const ArtifactNotarizationConfig& config) {
  using PollingCase = NotaryPollingError::Case;
  std::string id;
  try {
    if (config.submissionID) {
      id = *config.submissionID;
    } else {
      id = polling_.upload(file, config.credentials);
      trace("submission id: " + id);
      if (config.submitted) config.submitted(id, file);
    }
    // An earlier submission may long be decided: its first query goes out at once.
    auto polling = polling_;
    if (config.submissionID) polling.waits.insert(polling.waits.begin(), 0);
    const auto verdict = polling.await(id, config.credentials, config.notaryWait);
    trace("submission " + id + " status: " + verdict.status);
    if (!verdict.accepted())
      throw ArtifactNotarizationCoordinatorError::verdict(verdict.output, id, verdict.status);
    return verdict.output;
  } catch (const NotaryPollingError& error) {
    if (!error.submissionID().empty() && config.unfinished) config.unfinished(id, file);
    fail(error.errorCase() == PollingCase::timedOut ? Case::timeout : Case::notarizationFailed,
         error.text());
  }
}

std::string ArtifactNotarizationCoordinator::staple(const fs::path& file,
                                                    const Progress& progress) {
  return Steps::staplingOutput(propagation_.stapleAfterAcceptance(file, runTool, progress).run);
}

std::string ArtifactNotarizationCoordinator::validate(const fs::path& file, ArtifactKind kind) {
  if (kind == ArtifactKind::pkg && !fileExists(file)) {
    fail(Case::validationFailed, "PKG validation could not start because the "
                                 "package does not exist at: " +
                                     file.string());
  }
  const ToolProcessResult staple = Stapler::validate(file, runTool).run;
  const ToolProcessResult check =
      kind == ArtifactKind::dmg
          ? Gatekeeper::assess(Gatekeeper::Kind::open, file, runTool, {.verbosity = 3}).run
          : Packages::checkSignature(file, runTool).run;
  return Steps::validationOutput(kind, staple, check);
}

std::string ArtifactNotarizationCoordinator::digest(const fs::path& file) {
  return Steps::digest(runTool(AppleTools::shasum, {"-a", "256", file.string()}));
}

ToolProcessResult
ArtifactNotarizationCoordinator::runTool(const std::string& executable,
                                         const std::vector<std::string>& arguments) {
  auto request =
      AppleTools::request(AppleTools::Runner::notarization, executable, arguments, processTimeout);
  request.escalationWait = terminationWait;
  request.timeoutMessage = Steps::timeoutText(executable, arguments);
  return ProcessRunner::run(request);
}

void ArtifactNotarizationCoordinator::remember(const fs::path& file) {
  const std::lock_guard<std::mutex> guard(lock_);
  temporaryFiles_.push_back(file);
}

void ArtifactNotarizationCoordinator::forget(const fs::path& file) {
  const std::lock_guard<std::mutex> guard(lock_);
  std::erase(temporaryFiles_, file);
}

void ArtifactNotarizationCoordinator::discardTemporaryFiles() noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  for (const auto& file : temporaryFiles_)
    ::unlink(file.c_str());
  for (const auto& folder : temporaryFolders_) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
}

} // namespace halyard
