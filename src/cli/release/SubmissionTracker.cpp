#include "cli/release/SubmissionTracker.hpp"

#include "cli/console/Console.hpp"
#include "cli/console/Redactor.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

namespace fs = std::filesystem;

// The path as one word of a shell command line.
std::string shellWord(const std::string& text) {
  if (!text.empty() && text.find_first_not_of(
                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./-+,:@"
                           "%") == std::string::npos)
    return text;
  std::string quoted = "'";
  for (const char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

} // namespace

SubmissionTracker::SubmissionTracker(fs::path target, SourceDigest source, SubmissionCache cache)
    : target_(std::move(target)), source_(std::move(source)), cache_(std::move(cache)) {}

std::string SubmissionTracker::hint(const fs::path& target, const std::string& id) {
  return "Apple keeps working on it; collect the result later with `bosun notarize " +
         halyard::text::printable(shellWord(target.string())) + " --submission " + id + "`.";
}

void SubmissionTracker::attach(halyard::ArtifactNotarizationConfig& config) {
  config.submitted = [this](const std::string& id, const fs::path& uploaded) {
    {
      const std::lock_guard<std::mutex> guard(lock_);
      id_ = id;
      uploaded_ = uploaded;
    }
    watchForCancellation();
    keep(id, uploaded);
    Console::shared().step("Submitted to Apple's notary service (submission " + id + ")…");
    announce(id);
  };
  config.unfinished = [this](const std::string& id, const fs::path& uploaded) {
    markUnfinished();
    keep(id, uploaded);
  };
}

void SubmissionTracker::appSubmitted(const std::string& id) {
  {
    const std::lock_guard<std::mutex> guard(lock_);
    id_ = id;
    isApp_ = true;
  }
  watchForCancellation();
  announce(id);
}

void SubmissionTracker::announce(const std::string& id) const {
  Console& console = Console::shared();
  if (console.isJSON()) {
    console.event("submission",
                  Redactor::redact({{"id", id}, {"file", target_.string()}}, {"id", "file"}));
  }
}

std::string SubmissionTracker::appHint(const std::string& id) {
  return "Apple keeps working on it; ask for its status with `xcrun notarytool info " + id +
         "` and your notary credentials.";
}

std::string SubmissionTracker::hintFor(const std::string& id) const {
  return isApp_ ? appHint(id) : hint(target_, id);
}

void SubmissionTracker::resume(const std::string& id) {
  {
    const std::lock_guard<std::mutex> guard(lock_);
    id_ = id;
  }
  watchForCancellation();
}

void SubmissionTracker::watchForCancellation() {
  // Newer than what the run made before the upload (the uploaded file among it), so undone
  // before it: the file is kept first.
  if (!cancellation_) {
    cancellation_ = halyard::CleanupRegistry::shared().add("", [this] {
      cancelled();
      return true;
    });
  }
}

std::optional<std::string> SubmissionTracker::id() const {
  const std::lock_guard<std::mutex> guard(lock_);
  return id_;
}

bool SubmissionTracker::isUnfinished() const {
  const std::lock_guard<std::mutex> guard(lock_);
  return unfinished_;
}

void SubmissionTracker::markUnfinished() {
  const std::lock_guard<std::mutex> guard(lock_);
  unfinished_ = true;
}

void SubmissionTracker::keep(const std::string& id, const fs::path& uploaded) {
  const std::lock_guard<std::mutex> keeping(keeping_);
  // A resumed submission's file is already kept (or is the target itself).
  if (cache_.find(id)) return;
  std::error_code error;
  if (uploaded.empty() || !fs::exists(uploaded, error) || uploaded == target_) return;
  // A source that cannot be read only means the submission is resumed when named, not by itself.
  std::string source;
  try {
    if (source_) source = source_();
  } catch (const std::exception&) {
  }
  std::string reason;
  if (!cache_.keep(id, uploaded, target_, source, &reason)) {
    Console::shared().warning("The uploaded file could not be kept for later (" + reason +
                              "); collecting the result will need a new submission.");
  }
}

void SubmissionTracker::cancelled() noexcept {
  try {
    std::optional<std::string> id;
    fs::path uploaded;
    {
      const std::lock_guard<std::mutex> guard(lock_);
      if (!id_ || unfinished_) return;
      id = id_;
      uploaded = uploaded_;
      unfinished_ = true;
    }
    keep(*id, uploaded);
    std::string hint;
    {
      const std::lock_guard<std::mutex> guard(lock_);
      hint = hintFor(*id);
    }
    Console::shared().warning("Submission " + *id + " is with Apple's notary service. " + hint);
  } catch (...) {
    // The process is ending; nothing more can be done.
  }
}

void SubmissionTracker::finished() noexcept {
  std::optional<std::string> id;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    if (!id_ || unfinished_) return;
    id = id_;
  }
  const std::lock_guard<std::mutex> keeping(keeping_);
  cache_.remove(*id);
}

CLIError SubmissionTracker::withSubmission(CLIError error) const {
  const std::lock_guard<std::mutex> guard(lock_);
  if (!id_ || !unfinished_) return error;
  std::string message = error.message();
  message += message.find('\n') == std::string::npos && !message.empty() && message.back() == '.'
                 ? " Submission " + *id_ + "."
                 : "\nSubmission " + *id_ + ".";
  return CLIError(error.code(), message, hintFor(*id_));
}

} // namespace bosun
