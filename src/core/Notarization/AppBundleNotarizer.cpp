#include "core/Notarization/AppBundleNotarizer.hpp"

#include "core/Notarization/AppBundleNotarizerError.hpp"
#include "core/Notarization/NotaryPollingError.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/Ditto.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace fs = std::filesystem;

namespace {

void report(const AppBundleNotarizer::Progress& progress, const std::string& line) {
  if (progress) progress(line);
}

} // namespace

void AppBundleNotarizer::notarizeAndStaple(const fs::path& app, const std::string& keychainProfile,
                                           const Progress& progress) {
  notarizeAndStaple(app, NotaryCredentials::keychainProfile(text::trimmed(keychainProfile)),
                    progress);
}

void AppBundleNotarizer::notarizeAndStaple(const fs::path& app,
                                           const NotaryCredentials& credentials,
                                           const Progress& progress) {
  // Absolute, so that a name beginning with "-" never reads as an option.
  fs::path path = fs::absolute(app).lexically_normal();
  if (!path.has_filename()) path = path.parent_path(); // "My App.app/" names the same app
  TemporaryFolder folder(temporaryFolderPrefix);
  {
    const std::lock_guard<std::mutex> guard(lock_);
    folder_ = folder.path();
  }
  struct Forget {
    AppBundleNotarizer& owner;
    ~Forget() {
      const std::lock_guard<std::mutex> guard(owner.lock_);
      owner.folder_.reset();
    }
  } forget{*this};

  report(progress, "Creating notarization archive…");
  const fs::path archive = folder.path() / (path.stem().string() + ".zip");
  try {
    Ditto(AppleTools::Runner::shared, toolLimit).archive(path, archive);
  } catch (const DittoError& error) {
    throw AppBundleNotarizerError("Creating the app archive", error.result().combined());
  }

  report(progress, "Submitting application bundle for notarization…");
  std::string id;
  try {
    id = polling_.upload(archive, credentials);
    report(progress, "Submitted to Apple's notary service (submission " + id + ")…");
    if (submitted) submitted(id);
    const auto verdict = polling_.await(id, credentials, wait);
    if (!verdict.accepted()) throw AppBundleNotarizerError("Notarizing the app", verdict.output);
  } catch (const NotaryPollingError& error) {
    // Without a verdict the submission goes on at Apple: the error keeps its id.
    if (!error.submissionID().empty()) throw;
    throw AppBundleNotarizerError("Notarizing the app", error.text());
  }

  report(progress, "Stapling application bundle…");
  const auto stapled =
      propagation_.stapleAfterAcceptance(path, {AppleTools::Runner::shared, toolLimit}, progress);
  if (!stapled.stapled()) throw AppBundleNotarizerError("Stapling the app", stapled.run.combined());
}

void AppBundleNotarizer::discardTemporaryFiles() noexcept {
  const std::lock_guard<std::mutex> guard(lock_);
  if (!folder_) return;
  std::error_code ignored;
  fs::remove_all(*folder_, ignored);
}

} // namespace halyard
