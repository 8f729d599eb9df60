#include "core/Import/ImportPreparationEngine.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "core/Import/BundleWalk.hpp"
#include "core/Import/ImportToolRunner.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/ExtendedAttributes.hpp"
#include "core/Signing/CodeSign.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UserFolders.hpp"

namespace fs = std::filesystem;

namespace halyard {

namespace {

using Step = BundleWalk::Step;
using Type = BundleWalk::Type;
using Signature = CodeSign::Signature;

constexpr const char* preparedImportsFolder = "Halyard_Prepared_Imports";

bool itemExists(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool isRegularFile(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void report(const ImportPreparationEngine::Progress& progress, const std::string& line) {
  if (progress) progress(line);
}

void log(const std::string& line) {
  HalyardCoreLog::debugMessage(line);
}

// A step's joined output, or the step's fallback text when the tool printed nothing.
std::string outputOr(const ToolProcessResult& result, const char* fallback) {
  auto text = text::joinedOutput(result.standardError, result.standardOutput);
  return text.empty() ? fallback : text;
}

int rank(const fs::path& item) {
  const auto path = text::lowercasedASCII(item.string());
  const auto name = text::lowercasedASCII(item.filename().string());
  if (BundleWalk::endsWithAny(name, {".dylib", ".so", ".node", ".frozen"})) return 0;
  if (BundleWalk::endsWith(path, ".framework")) return 1;
  if (BundleWalk::endsWithAny(path, {".xpc", ".appex"})) return 2;
  if (BundleWalk::endsWith(path, ".app")) return 3;
  for (const char* part : {"/helpers/", "/loginitems/", "/xpcservices/"})
    if (path.find(part) != std::string::npos) return 4;
  return 5;
}

// The length of the path in characters (UTF-8 continuation bytes not counted).
size_t characterCount(const fs::path& path) {
  return static_cast<size_t>(std::count_if(path.native().begin(), path.native().end(),
                                           [](char c) { return (c & 0xC0) != 0x80; }));
}

} // namespace

ImportPreparationEngineError ImportPreparationEngineError::bundleNotFound(const fs::path& path) {
  return {Case::bundleNotFound, "Imported app bundle was not found at: " + path.string()};
}
ImportPreparationEngineError
ImportPreparationEngineError::workingCopyCreationFailed(const std::string& text) {
  return {Case::workingCopyCreationFailed,
          "Failed to create a working copy of the imported app: " + text};
}
ImportPreparationEngineError
ImportPreparationEngineError::quarantineRemovalFailed(const std::string& text) {
  return {Case::quarantineRemovalFailed, "Failed to remove quarantine attributes: " + text};
}
ImportPreparationEngineError
ImportPreparationEngineError::signingFailed(const fs::path& path, const std::string& reason) {
  return {Case::signingFailed, "Failed to sign embedded item at " + path.string() + ": " + reason};
}
ImportPreparationEngineError
ImportPreparationEngineError::verificationFailed(const std::string& text) {
  return {Case::verificationFailed, "Prepared app verification failed: " + text};
}
ImportPreparationEngineError ImportPreparationEngineError::signingIdentityMissing() {
  return {Case::signingIdentityMissing,
          "A valid signing identity is required before this imported app can be prepared."};
}

std::vector<fs::path> ImportPreparationEngine::collectNestedSignableItems(const fs::path& appURL) {
  std::vector<fs::path> items;
  const fs::path contents = appURL / "Contents";
  auto executables = [&](const BundleWalk::Item& item) {
    if (item.isExecutableFile()) items.push_back(item.path);
    return Step::proceed;
  };

  BundleWalk::walk(contents / "MacOS", executables);

  // Frameworks are walked into, so that the code they carry (libraries, crash handlers, helper
  // apps) is signed before them; bundles here (Electron's helper apps live beside the
  // frameworks) are signed as a whole.
  BundleWalk::walk(contents / "Frameworks", [&](const BundleWalk::Item& item) {
    if (item.type == Type::symbolicLink) return Step::proceed;
    const auto name = text::lowercasedASCII(item.name);
    if (item.isDirectory() && BundleWalk::endsWith(name, ".framework")) {
      items.push_back(item.path);
      return Step::proceed;
    }
    if (BundleWalk::endsWithAny(name, {".dylib", ".so", ".node", ".frozen"})) {
      items.push_back(item.path);
      return Step::skipChildren;
    }
    if (item.isDirectory() && BundleWalk::isPackageName(item.name)) {
      items.push_back(item.path);
      return Step::skipChildren;
    }
    return executables(item);
  });

  for (const char* folder : {"PlugIns", "XPCServices", "Library/LoginItems"}) {
    BundleWalk::walk(contents / folder, [&](const BundleWalk::Item& item) {
      if (item.type == Type::symbolicLink) return Step::proceed;
      const auto name = text::lowercasedASCII(item.name);
      if (BundleWalk::endsWithAny(name,
                                  {".appex", ".xpc", ".bundle", ".plugin", ".app", ".frozen"})) {
        items.push_back(item.path);
        return Step::skipChildren;
      }
      return Step::proceed;
    });
  }

  BundleWalk::walk(contents / "Helpers", executables);

  std::set<fs::path> seen;
  std::erase_if(items, [&](const fs::path& item) { return !seen.insert(item).second; });
  return items;
}

std::vector<fs::path> ImportPreparationEngine::signingOrder(std::vector<fs::path> items) {
  std::stable_sort(items.begin(), items.end(), [](const fs::path& a, const fs::path& b) {
    const int rankA = rank(a), rankB = rank(b);
    if (rankA != rankB) return rankA < rankB;
    return characterCount(a) < characterCount(b);
  });
  std::vector<fs::path> order;
  order.reserve(items.size());
  std::vector<bool> placed(items.size(), false);
  // Depth-first: before an item, everything inside it (in ranked order).
  std::function<void(size_t)> place = [&](size_t index) {
    if (placed[index]) return;
    placed[index] = true;
    for (size_t inner = 0; inner < items.size(); ++inner)
      if (!placed[inner] && BundleWalk::isInside(items[inner], items[index])) place(inner);
    order.push_back(items[index]);
  };
  for (size_t index = 0; index < items.size(); ++index)
    place(index);
  return order;
}

bool ImportPreparationEngine::allowsRetryWithoutRuntime(const fs::path& item) {
  return BundleWalk::endsWithAny(text::lowercasedASCII(item.string()),
                                 {".framework", ".dylib", ".so", ".node", ".bundle", ".plugin",
                                  ".xpc", ".appex", ".app", ".frozen"});
}

void ImportPreparationEngine::signNestedItem(const fs::path& item,
                                             const std::string& identity) const {
  const ImportToolRunner runner{"preparation", processTimeout};
  log("Signing embedded item: " + item.string());
  const auto first = CodeSign::sign(Signature::preparation, identity, item, runner.bound());
  if (first.succeeded()) return;
  if (!allowsRetryWithoutRuntime(item))
    throw ImportPreparationEngineError::signingFailed(item, outputOr(first, "codesign failed."));
  log("Retrying embedded signing without hardened runtime options for " + item.string());
  const auto retry =
      CodeSign::sign(Signature::preparationWithoutRuntime, identity, item, runner.bound());
  if (!retry.succeeded())
    throw ImportPreparationEngineError::signingFailed(item, outputOr(retry, "codesign failed."));
}

PreparationExecutionResult ImportPreparationEngine::prepare(const fs::path& appURL,
                                                            const std::string& signingIdentity,
                                                            const Progress& progress) const {
  if (!itemExists(appURL)) throw ImportPreparationEngineError::bundleNotFound(appURL);
  const std::string identity = text::trimmed(signingIdentity);
  if (identity.empty()) throw ImportPreparationEngineError::signingIdentityMissing();
  log("prepare started for " + appURL.string());

  PreparationExecutionResult result;
  report(progress, "Creating working copy…");
  const fs::path parent =
      workingCopyParent.value_or(UserFolders::temporary() / preparedImportsFolder);
  fs::create_directories(parent);
  // Owned here until the preparation succeeds: a failure removes the copy with its folder.
  TemporaryFolder folder(parent, "");
  const fs::path working = folder.path() / appURL.filename();
  try {
    fs::copy(appURL, working, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  } catch (const std::exception& error) {
    throw ImportPreparationEngineError::workingCopyCreationFailed(error.what());
  }
  result.performedSteps.emplace_back("Created working copy");
  log("prepare working copy created at " + working.string());

  const ImportToolRunner runner{"preparation", processTimeout};
  report(progress, "Removing quarantine attributes…");
  const auto xattr = ExtendedAttributes::clearRecursively(
      working, [&runner](const char* executable, const std::vector<std::string>& arguments) {
        return runner.run(executable, arguments);
      });
  if (!xattr.succeeded())
    throw ImportPreparationEngineError::quarantineRemovalFailed(outputOr(xattr, "xattr failed."));
  result.performedSteps.emplace_back("Removed quarantine attributes");

  report(progress, "Scanning nested signable content…");
  const auto items = collectNestedSignableItems(working);
  result.performedSteps.emplace_back("Scanned nested signable content");
  log("prepare collected " + std::to_string(items.size()) + " nested signable items");

  report(progress, "Fixing executable permissions…");
  for (const auto& item : items) {
    // Never through a link: chmod would change whatever the link points at.
    if (!isRegularFile(item)) continue;
    const auto chmod = runner.run(AppleTools::chmod, {"+x", item.string()});
    if (!chmod.succeeded()) log("chmod failed for " + item.string() + ": " + outputOr(chmod, ""));
  }
  result.performedSteps.emplace_back("Repaired executable permissions");

  if (items.empty()) {
    result.warnings.emplace_back("No nested signable content was detected. Main app verification "
                                 "will still be performed.");
  } else {
    report(progress, "Signing embedded code…");
    log("prepare signing " + std::to_string(items.size()) + " embedded items");
    NestedSigningScheduler::run(signingOrder(items), signingJobs,
                                [&](const fs::path& item) { signNestedItem(item, identity); });
    result.performedSteps.emplace_back("Signed embedded code");
  }

  report(progress, "Signing app bundle…");
  log("prepare signing main app bundle");
  const auto sign = CodeSign::sign(Signature::preparation, identity, working, runner.bound());
  if (!sign.succeeded())
    throw ImportPreparationEngineError::signingFailed(
        working, outputOr(sign, "Failed to sign main app bundle."));
  result.performedSteps.emplace_back("Signed main app bundle");

  report(progress, "Verifying signatures…");
  log("prepare verifying signed app bundle");
  const auto verify = CodeSign::verify(CodeSign::Check::plain, working, runner.bound());
  if (!verify.valid())
    throw ImportPreparationEngineError::verificationFailed(
        outputOr(verify.run, "codesign verification failed."));
  result.performedSteps.emplace_back("Verified signed app bundle");
  report(progress, "Preparation complete.");
  log("prepare finished successfully for " + appURL.string());

  result.verifiedSuccessfully = true;
  result.preparedAppURL = working;
  result.preparedPaths = items;
  result.workingCopyFolder = folder.release();
  return result;
}

PreparationExecutionResult ImportPreparationEngine::verifyOnly(const fs::path& appURL,
                                                               const Progress& progress) const {
  if (!itemExists(appURL)) throw ImportPreparationEngineError::bundleNotFound(appURL);
  log("verifyOnly started for " + appURL.string());
  PreparationExecutionResult result;
  report(progress, "Scanning nested signable content…");
  result.preparedPaths = collectNestedSignableItems(appURL);
  result.performedSteps.emplace_back("Scanned nested signable content");
  log("verifyOnly collected " + std::to_string(result.preparedPaths.size()) +
      " nested signable items");
  if (result.preparedPaths.empty())
    result.warnings.emplace_back("No nested signable content was detected. Existing signature "
                                 "checks were performed directly.");

  report(progress, "Checking existing app signature…");
  log("verifyOnly calling verifyExistingApp for " + appURL.string());
  const ImportToolRunner runner{"preparation", processTimeout};
  const auto verify = CodeSign::verify(CodeSign::Check::plain, appURL, runner.bound());
  if (!verify.valid())
    throw ImportPreparationEngineError::verificationFailed(
        outputOr(verify.run, "Existing app verification failed."));
  result.performedSteps.emplace_back("Verified existing app signature");
  report(progress, "Preparation complete.");
  log("verifyOnly finished successfully for " + appURL.string());

  result.verifiedSuccessfully = true;
  result.preparedAppURL = appURL;
  result.usedVerifyOnlyMode = true;
  return result;
}

} // namespace halyard
