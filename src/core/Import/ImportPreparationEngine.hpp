#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Import/NestedSigningScheduler.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// What a preparation or verification did.
struct PreparationExecutionResult {
  bool verifiedSuccessfully = false;
  std::filesystem::path preparedAppURL;
  std::vector<std::string> performedSteps;
  std::vector<std::filesystem::path> preparedPaths;
  std::vector<std::string> warnings;
  bool usedVerifyOnlyMode = false;
  // The folder (Halyard_Prepared_Imports/<UUID>) holding the working copy, which the caller now
  // owns and must remove; none for a verification.
  std::optional<std::filesystem::path> workingCopyFolder;
};

class ImportPreparationEngineError : public Error {
public:
  static constexpr const char* domainName = "Halyard.importPreparationEngine";
  enum class Case {
    bundleNotFound = 1,
    workingCopyCreationFailed,
    quarantineRemovalFailed,
    signingFailed,
    verificationFailed,
    signingIdentityMissing,
  };

  static ImportPreparationEngineError bundleNotFound(const std::filesystem::path& path);
  static ImportPreparationEngineError workingCopyCreationFailed(const std::string& text);
  static ImportPreparationEngineError quarantineRemovalFailed(const std::string& text);
  static ImportPreparationEngineError signingFailed(const std::filesystem::path& path,
                                                    const std::string& reason);
  static ImportPreparationEngineError verificationFailed(const std::string& text);
  static ImportPreparationEngineError signingIdentityMissing();

  Case errorCase() const { return static_cast<Case>(code()); }

private:
  ImportPreparationEngineError(Case which, const std::string& description)
      : Error(domainName, static_cast<int>(which), description) {}
};

// Prepares an imported app for notarization in a private working copy: clears extended
// attributes, makes nested executables executable, signs every piece of nested code inside out
// with the hardened runtime and a secure timestamp (several items at once, see signingJobs), signs
// the app and verifies it. The user's app is never changed.
class ImportPreparationEngine {
public:
  using Progress = std::function<void(const std::string&)>;

  double processTimeout = 180;

  // How many nested items are signed at once (items inside one another never are); 1 signs them
  // one by one in signingOrder.
  std::size_t signingJobs = NestedSigningScheduler::defaultJobs();

  // Where the working copies go; none means Halyard_Prepared_Imports in the user's temporary
  // folder. A release points it into its own workspace, so that removing the workspace (on
  // Ctrl-C too) removes a copy still in the making.
  std::optional<std::filesystem::path> workingCopyParent;

  PreparationExecutionResult prepare(const std::filesystem::path& appURL,
                                     const std::string& signingIdentity,
                                     const Progress& progress = nullptr) const;

  // Checks the app's existing signature in place; changes nothing.
  PreparationExecutionResult verifyOnly(const std::filesystem::path& appURL,
                                        const Progress& progress = nullptr) const;

  // The nested items of the bundle that are signed one by one, in collection order, each once.
  // Symbolic links are never collected.
  static std::vector<std::filesystem::path>
  collectNestedSignableItems(const std::filesystem::path& appURL);

  // The items in the order they are signed: libraries first, then frameworks, XPC services and
  // extensions, apps, helpers, the rest; shorter paths first within a rank; and anything inside
  // another item always before it, so that no signature is broken by a later one.
  static std::vector<std::filesystem::path> signingOrder(std::vector<std::filesystem::path> items);

  // Whether a failed signature of the item is retried without the hardened runtime (bundles and
  // libraries, never a plain executable).
  static bool allowsRetryWithoutRuntime(const std::filesystem::path& item);

private:
  void signNestedItem(const std::filesystem::path& item, const std::string& identity) const;
};

} // namespace halyard
