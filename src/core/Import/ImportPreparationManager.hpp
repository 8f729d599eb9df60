#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/Import/CodeSignScanner.hpp"
#include "core/Import/ImportPreparationEngine.hpp"
#include "core/Import/PreparedImportReport.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

class ImportPreparationError : public Error {
public:
  static constexpr const char* domainName = "Halyard.importPreparation";
  static ImportPreparationError fileNotFound(const std::filesystem::path& path) {
    return {1, "Imported app could not be found at: " + path.string()};
  }
  static ImportPreparationError signingIdentityRequired() {
    return {2, "A signing identity is required before this imported app can be prepared."};
  }

private:
  ImportPreparationError(int code, const std::string& description)
      : Error(domainName, code, description) {}
};

// Scans the app a release starts from and does what the scan asks for: nothing, a verification
// of the existing signature, or a full preparation in a working copy. The report's appURL is the
// app to package next; when it is a working copy, the report's workingCopyFolder names the
// folder the caller must release (PreparedImportReport::releaseWorkingCopy) when it is done.
class ImportPreparationManager {
public:
  using Progress = std::function<void(const std::string&)>;

  static ImportPreparationManager& shared();

  CodeSignScanner scanner;
  ImportPreparationEngine engine;

  PreparedImportReport
  prepareImportedAppIfNeeded(const std::filesystem::path& appURL,
                             const std::optional<std::string>& signingIdentity,
                             const std::optional<CodeSignScanResult>& precomputedScanResult,
                             const Progress& progress = nullptr) const;
};

} // namespace halyard
