#include "cli/release/FeedPublication.hpp"

#include <unistd.h>

#include <ctime>

#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "core/Appcast/AppcastFeed.hpp"
#include "core/Support/Base64.hpp"

namespace bosun {

namespace fs = std::filesystem;

namespace {

constexpr const char* kKeyFormatHint = "The key is the Base64 of the 32-byte Ed25519 private key "
                                       "(or of 64 bytes: the private key and its public key).";

} // namespace

halyard::EdSigningKey FeedPublication::loadKey(const std::optional<fs::path>& keyFile) {
  using Kind = halyard::EdSigningKeyError::Kind;
  try {
    return keyFile ? halyard::EdSigningKey::fromFile(*keyFile)
                   : halyard::EdSigningKey::fromKeychain();
  } catch (const halyard::EdSigningKeyError& error) {
    switch (error.kind()) {
    case Kind::malformed:
      throw CLIError(ExitCode::credentials,
                     keyFile ? "The Ed25519 key file " + keyFile->string() +
                                   " does not hold a usable private key."
                             : "The Ed25519 update key in your login keychain is not a usable "
                               "private key.",
                     kKeyFormatHint);
    case Kind::unreadable:
      throw CLIError(ExitCode::credentials,
                     std::string("The Ed25519 key file could not be read: ") + error.what(),
                     "Pass --ed-key-file with the file that holds the private key, or leave it "
                     "out to use the key in your login keychain.");
    case Kind::notInKeychain:
      throw CLIError(ExitCode::credentials,
                     "No Ed25519 update key was found in your login keychain.",
                     "Create one with the updater's key tool (it keeps the key there), or pass "
                     "--ed-key-file <file>.");
    case Kind::keychainFailed:
      break;
    }
    throw CLIError(ExitCode::credentials,
                   std::string("The Ed25519 update key could not be read from your login "
                               "keychain: ") +
                       error.what(),
                   "Unlock the login keychain, or pass --ed-key-file <file>.");
  }
}

FeedPublication FeedPublication::prepare(const ReleasePlan& plan) {
  FeedPublication publication(loadKey(plan.edKeyFile));
  try {
    halyard::AppcastFeed::check(*plan.appcast);
  } catch (const halyard::AppcastFeedError& error) {
    throw CLIError(ExitCode::input, error.what(),
                   "Fix the feed, or pass another --appcast file (a missing one is created).");
  }
  // The feed is replaced by a file written beside it: its folder (or the nearest one that
  // exists, where the missing ones will be made) must take new files.
  fs::path folder = plan.appcast->parent_path();
  std::error_code error;
  while (!fs::exists(folder, error) && folder.has_parent_path() && folder.parent_path() != folder)
    folder = folder.parent_path();
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    throw CLIError(ExitCode::input,
                   "The feed " + plan.appcast->string() + " cannot be written: " + folder.string() +
                       " does not take new files.",
                   "Choose another --appcast file, or make the folder writable.");
  }
  return publication;
}

void FeedPublication::publish(const ReleasePlan& plan, const ReleaseOutcome& outcome) const {
  Console& console = Console::shared();
  const auto& versions = *outcome.appVersions;
  const std::string name = outcome.artifactURL.filename().string();
  const std::string feedName = plan.appcast->filename().string();

  halyard::AppcastItem item;
  item.version = *versions.version;
  item.shortVersionString = versions.shortVersion;
  item.minimumSystemVersion = versions.minimumSystemVersion;
  item.title = "Version " + versions.shortVersion.value_or(item.version);
  item.pubDate = halyard::AppcastItem::rfc822Date(std::time(nullptr));
  item.url = halyard::AppcastItem::enclosureURL(*plan.downloadURL, name);
  console.step("Signing " + name + " for the update feed…");
  try {
    item.length = fs::file_size(outcome.artifactURL);
    item.edSignature = halyard::Base64::encoded(key_.signFile(outcome.artifactURL));
    console.step("Adding version " + item.version + " to " + feedName + "…");
    halyard::AppcastFeed::addItem(*plan.appcast, item, versions.name);
  } catch (...) {
    const CLIError error = CLIError::from(std::current_exception(), ExitCode::input);
    throw CLIError(ExitCode::input,
                   name + " was created, but the update feed was not changed: " + error.message(),
                   "Fix the feed, then run `bosun start` again with --overwrite.");
  }
  console.success("Added " + item.title + " (" + item.version + ") to " + feedName);
}

} // namespace bosun
