#include "core/Import/CodeSignScanner.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <array>

#include "core/Import/BundleWalk.hpp"
#include "core/Import/ImportToolRunner.hpp"
#include "core/Signing/CodeSign.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/Text.hpp"

namespace fs = std::filesystem;

namespace halyard {

namespace {

using Step = BundleWalk::Step;

constexpr std::array<const char*, 5> electronMarkers{"electron", "crashpad", "squirrel",
                                                     "electron framework", "electron helper"};
constexpr std::array<const char*, 5> pythonMarkers{"python", "python3", "pyside", "pyqt",
                                                   "site-packages"};
constexpr std::array<const char*, 6> qtMarkers{"qt",          "qt6", "qt5",
                                               "qtwebengine", "qml", "libqcocoa"};

template <size_t N>
bool matches(const std::vector<std::string>& values, const std::array<const char*, N>& markers) {
  for (const auto& value : values)
    for (const char* marker : markers)
      if (value.find(marker) != std::string::npos) return true;
  return false;
}

void report(const CodeSignScanner::Progress& progress, const std::string& line) {
  HalyardCoreLog::debugMessage(line);
  if (progress) progress(line);
}

bool itemExists(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

constexpr const char* metadataTimedOut =
    "Reading signature metadata took too long and was stopped. This app is likely very large or "
    "complex. Preparation is required before notarization.";
constexpr const char* verifyTimedOut =
    "Quick signature verification took too long and was stopped. Halyard will treat this app as "
    "requiring preparation before notarization.";
constexpr const char* adHocNote =
    "Imported app appears to be ad-hoc signed. Preparation is required before notarization.";
constexpr const char* noValidSignature = "Imported app does not have a valid Developer ID "
                                         "signature. Preparation is required before notarization.";
constexpr const char* noAuthorityLines =
    "Imported app verification passed, but detailed signature metadata did not clearly expose "
    "Authority lines. Halyard will continue without forcing preparation.";

} // namespace

CodeSignScanner::Counts CodeSignScanner::countNestedCode(const fs::path& appURL,
                                                         const Progress& progress) {
  Counts counts;
  const fs::path contents = appURL / "Contents";
  auto record = [&](const fs::path& path) { counts.detectedPaths.push_back(path); };

  report(progress, "Scanning app executable folder…");
  BundleWalk::walk(contents / "MacOS", [&](const BundleWalk::Item& item) {
    if (item.isExecutableFile()) {
      ++counts.nestedExecutableCount;
      record(item.path);
    }
    return Step::proceed;
  });

  report(progress, "Scanning frameworks and runtime libraries…");
  BundleWalk::walk(contents / "Frameworks", [&](const BundleWalk::Item& item) {
    // Links are neither counted nor followed: the walk reports them only as links.
    if (item.type == BundleWalk::Type::symbolicLink) return Step::proceed;
    const auto name = text::lowercasedASCII(item.name);
    if (BundleWalk::endsWith(name, ".framework")) {
      ++counts.frameworkCount;
      record(item.path);
      return Step::skipChildren;
    }
    if (BundleWalk::endsWithAny(name, {".dylib", ".so", ".node"})) {
      ++counts.dylibCount;
      ++counts.nestedExecutableCount;
      record(item.path);
    } else if (item.isExecutableFile()) {
      ++counts.nestedExecutableCount;
      record(item.path);
    }
    return Step::proceed;
  });

  report(progress, "Scanning plug-ins and services…");
  for (const char* folder : {"PlugIns", "XPCServices", "Library/LoginItems"}) {
    BundleWalk::walk(contents / folder, [&](const BundleWalk::Item& item) {
      if (item.type == BundleWalk::Type::symbolicLink) return Step::proceed;
      const auto name = text::lowercasedASCII(item.name);
      if (BundleWalk::endsWithAny(name, {".appex", ".xpc", ".bundle", ".plugin", ".app"})) {
        ++counts.pluginCount;
        ++counts.helperCount;
        record(item.path);
        return Step::skipChildren;
      }
      return Step::proceed;
    });
  }

  report(progress, "Scanning helper executables…");
  BundleWalk::walk(contents / "Helpers", [&](const BundleWalk::Item& item) {
    if (item.isExecutableFile()) {
      ++counts.nestedExecutableCount;
      ++counts.helperCount;
      record(item.path);
    }
    return Step::proceed;
  });
  return counts;
}

std::vector<std::string> CodeSignScanner::runtimeMarkerNames(const fs::path& appURL, size_t limit) {
  std::vector<std::string> names;
  if (limit == 0) return names;
  const fs::path contents = appURL / "Contents";
  for (const char* folder : {"Frameworks", "PlugIns", "XPCServices", "Helpers", "Resources"}) {
    const bool finished = !BundleWalk::walk(contents / folder, [&](const BundleWalk::Item& item) {
      names.push_back(text::lowercasedASCII(item.name));
      return names.size() >= limit ? Step::stop : Step::proceed;
    });
    if (finished) break;
  }
  return names;
}

ImportedAppKind CodeSignScanner::classify(const fs::path& appURL, const Counts& counts) {
  const int F = counts.frameworkCount, D = counts.dylibCount, P = counts.pluginCount,
            H = counts.helperCount, N = counts.nestedExecutableCount;
  if (F == 0 && D == 0 && P == 0 && H == 0) return ImportedAppKind::nativeSimple;

  std::vector<std::string> tested{text::lowercasedASCII(appURL.string()),
                                  text::lowercasedASCII(appURL.stem().string())};
  for (auto& name : runtimeMarkerNames(appURL))
    tested.push_back(std::move(name));

  if (matches(tested, electronMarkers) || H >= 4) return ImportedAppKind::electronLike;
  if (F >= 4 && P > 0) return ImportedAppKind::electronLike;
  if (matches(tested, pythonMarkers)) return ImportedAppKind::pythonLike;
  if (matches(tested, qtMarkers) || D >= 6 || N >= 10) return ImportedAppKind::runtimeHeavy;
  if (D >= 4 && F >= 3) return ImportedAppKind::runtimeHeavy;
  if (F >= 3 && D >= 3) return ImportedAppKind::pythonLike;
  return ImportedAppKind::unknownComplex;
}

CodeSignScanner::SignatureInspection
CodeSignScanner::inspectSignature(const CodeSignDetails& metadata,
                                  const std::optional<CodeSign::Verification>& verify) {
  if (metadata.run.status == ToolProcessResult::timedOutStatus)
    return {false, false, metadataTimedOut};
  const bool authorityLines = !metadata.authorities.empty();
  // Unsigned code is treated like ad hoc code: both need a real signature.
  const bool looksAdHoc =
      metadata.adHoc || metadata.notSigned || (metadata.run.status == 0 && !authorityLines);
  if (!verify || verify->run.status == ToolProcessResult::timedOutStatus)
    return {false, false, verifyTimedOut};
  if (looksAdHoc) return {false, true, adHocNote};
  if (!verify->valid()) {
    const auto output = text::joinedOutput(verify->run.standardError, verify->run.standardOutput);
    return {false, false,
            output.empty() ? std::string(noValidSignature)
                           : "Imported app signature verification failed: " + output};
  }
  if (authorityLines) return {true, false, std::nullopt};
  return {true, false, noAuthorityLines};
}

CodeSignScanner::SignatureInspection
CodeSignScanner::inspectSignature(const fs::path& appURL, const Progress& progress) const {
  const ImportToolRunner runner{"scan", processTimeout};
  report(progress, "Reading signature metadata for the imported app…");
  const auto metadata = CodeSign::details(appURL, runner.bound(), {.verbosity = 2});
  if (metadata.run.status == ToolProcessResult::timedOutStatus)
    return inspectSignature(metadata, std::nullopt);
  report(progress, "Checking whether the imported app already has a valid Developer ID signature…");
  return inspectSignature(metadata,
                          CodeSign::verify(CodeSign::Check::plain, appURL, runner.bound()));
}

void CodeSignScanner::decide(CodeSignScanResult& result, const SignatureInspection& inspection) {
  result.hasValidSignature = inspection.valid;
  result.hasAdHocSignature = inspection.adHoc;
  result.signatureIssue = inspection.note;
  result.issues.clear();
  if (inspection.valid && !inspection.adHoc) {
    switch (result.appKind) {
    case ImportedAppKind::nativeSimple:
      break;
    case ImportedAppKind::runtimeHeavy:
      result.issues.emplace_back(
          "Runtime-heavy nested code detected, but the imported app already has a valid "
          "Developer ID signature. Verification is recommended before continuing.");
      break;
    case ImportedAppKind::electronLike:
      result.issues.emplace_back(
          "Electron-like structure detected. Verification is recommended before continuing.");
      break;
    case ImportedAppKind::pythonLike:
      result.issues.emplace_back(
          "Python-like embedded runtime content detected, but the imported app already has a "
          "valid Developer ID signature. Verification is recommended before continuing.");
      break;
    case ImportedAppKind::unknownComplex:
      result.issues.emplace_back("Complex imported app structure detected. Verification is "
                                 "recommended before continuing.");
      break;
    }
    result.requirement = result.appKind == ImportedAppKind::nativeSimple
                             ? PreparationRequirement::none
                             : PreparationRequirement::verifyOnly;
    if (inspection.note && !inspection.note->empty()) result.issues.push_back(*inspection.note);
  } else {
    result.requirement = PreparationRequirement::prepareAndResign;
    result.issues.push_back(inspection.note.value_or(
        "Imported app signature requires preparation before notarization."));
  }
}

CodeSignScanResult CodeSignScanner::scanBundle(const fs::path& appURL,
                                               const Progress& progress) const {
  if (!itemExists(appURL)) throw CodeSignScannerError::bundleNotFound(appURL);
  report(progress, "Inspecting bundle structure…");
  report(progress, "Looking for frameworks, helpers, and embedded runtime files…");
  auto counts = countNestedCode(appURL, progress);

  CodeSignScanResult result;
  result.appURL = appURL;
  result.appKind = classify(appURL, counts);
  result.nestedExecutableCount = counts.nestedExecutableCount;
  result.frameworkCount = counts.frameworkCount;
  result.dylibCount = counts.dylibCount;
  result.pluginCount = counts.pluginCount;
  result.helperCount = counts.helperCount;
  decide(result, inspectSignature(appURL, progress));

  auto& paths = counts.detectedPaths;
  std::sort(paths.begin(), paths.end(),
            [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  result.detectedPaths = std::move(paths);
  return result;
}

} // namespace halyard
