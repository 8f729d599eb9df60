#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Import/CodeSignScanResult.hpp"
#include "core/Process/ToolProcessResult.hpp"
#include "core/Signing/CodeSign.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

class CodeSignScannerError : public Error {
public:
  static constexpr const char* domainName = "Halyard.codeSignScanner";
  static CodeSignScannerError bundleNotFound(const std::filesystem::path& path) {
    return CodeSignScannerError("Imported app bundle was not found at: " + path.string());
  }

private:
  explicit CodeSignScannerError(const std::string& description)
      : Error(domainName, 1, description) {}
};

// Decides how much work an imported app needs before notarization: it counts the nested code in
// the bundle's code folders, looks for names that betray an embedded runtime, reads the existing
// signature with codesign and classifies the app.
class CodeSignScanner {
public:
  using Progress = std::function<void(const std::string&)>;

  double processTimeout = 60;

  // Throws only CodeSignScannerError::bundleNotFound.
  CodeSignScanResult scanBundle(const std::filesystem::path& appURL,
                                const Progress& progress = nullptr) const;

  // What the folder walks counted (the part of a scan that needs no tool).
  struct Counts {
    int nestedExecutableCount = 0;
    int frameworkCount = 0;
    int dylibCount = 0;
    int pluginCount = 0;
    int helperCount = 0;
    std::vector<std::filesystem::path> detectedPaths; // unsorted, may repeat
  };
  static Counts countNestedCode(const std::filesystem::path& appURL,
                                const Progress& progress = nullptr);

  // The lower-cased names under the runtime folders, at most `limit` of them.
  static std::vector<std::string> runtimeMarkerNames(const std::filesystem::path& appURL,
                                                     size_t limit = 120);
  static ImportedAppKind classify(const std::filesystem::path& appURL, const Counts& counts);

  // The verdict on the existing signature.
  struct SignatureInspection {
    bool valid = false;
    bool adHoc = false;
    std::optional<std::string> note;
  };
  // From the metadata run (`codesign -dv --verbose=2`) and the verify run (`codesign --verify
  // --verbose=2`); the verify run is absent when the metadata run timed out.
  static SignatureInspection inspectSignature(const CodeSignDetails& metadata,
                                              const std::optional<CodeSign::Verification>& verify);
  // Requirement, issues and signatureIssue from the kind and the inspection.
  static void decide(CodeSignScanResult& result, const SignatureInspection& inspection);

private:
  SignatureInspection inspectSignature(const std::filesystem::path& appURL,
                                       const Progress& progress) const;
};

} // namespace halyard
