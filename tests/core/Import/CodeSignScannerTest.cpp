#include <gtest/gtest.h>

#include "core/Import/BundlePreparationPlan.hpp"
#include "core/Import/CodeSignScanner.hpp"
#include "core/Import/ImportStandIns.hpp"

namespace fs = std::filesystem;
using namespace halyard;
using halyard::testing::ImportStandIns;

namespace {

constexpr const char* adHocIssue =
    "Imported app appears to be ad-hoc signed. Preparation is required before notarization.";

ToolProcessResult tool(int status, std::string error, std::string output = "") {
  return {status, std::move(output), std::move(error)};
}

} // namespace

class CodeSignScannerStandIns : public ImportStandIns {};

TEST_F(CodeSignScannerStandIns, EachKindOfAppGetsItsClassAndPlan) {
  struct Case {
    std::string name;
    std::function<void(const fs::path& app)> build; // adds to NAME.app
    ImportedAppKind kind;
    std::array<int, 5> counts; // N, F, D, P, H
    const char* verifyReason;
    const char* prepareReason;
  };
  const std::vector<Case> cases{
      {"Plain",
       [](const fs::path&) {},
       ImportedAppKind::nativeSimple,
       {1, 0, 0, 0, 0},
       "Simple native app structure detected. No preparation is required before continuing.",
       "Simple native app structure detected. Signature verification is recommended before "
       "continuing."},
      {"Viewer",
       [&](const fs::path& app) {
         framework(app / "Contents/Frameworks", "QtCore");
         framework(app / "Contents/Frameworks", "QtGui");
         machO(app / "Contents/PlugIns/platforms/libqcocoa.dylib", "dylib");
       },
       ImportedAppKind::runtimeHeavy,
       {1, 2, 0, 0, 0},
       "Runtime-heavy nested code was detected. Verification is recommended before continuing.",
       "Runtime-heavy nested code was detected. Preparation is recommended before notarization."},
      {"Beacon",
       nullptr,
       ImportedAppKind::electronLike,
       {3, 1, 2, 0, 0},
       "Electron-like app structure detected. Verification is recommended before continuing.",
       "Electron-like app structure detected with nested runtime content. Preparation is "
       "recommended before notarization."},
      {"Snake",
       [&](const fs::path& app) {
         framework(app / "Contents/Frameworks", "Python");
         machO(app / "Contents/Frameworks/lib-dynload/_ssl.cpython-311-darwin.so", "bundle");
         std::ofstream(app / "Contents/Frameworks/base_library.frozen") << "frozen modules";
       },
       ImportedAppKind::pythonLike,
       {2, 1, 1, 0, 0},
       "Python-like embedded runtime content was detected. Verification is recommended before "
       "continuing.",
       "Python-like embedded runtime content was detected. Preparation is recommended before "
       "notarization."},
      {"Ledger",
       [&](const fs::path& app) { framework(app / "Contents/Frameworks", "Sparkle"); },
       ImportedAppKind::unknownComplex,
       {1, 1, 0, 0, 0},
       "Complex imported app structure detected. Verification is recommended before continuing.",
       "Complex imported app structure detected. Preparation is recommended before "
       "notarization."},
  };
  const CodeSignScanner scanner;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto app = c.build ? this->app(c.name) : electronApp(c.name);
    if (c.build) c.build(app);

    signDeveloperID(app);
    auto scan = scanner.scanBundle(app);
    EXPECT_EQ(scan.appKind, c.kind);
    EXPECT_EQ((std::array<int, 5>{scan.nestedExecutableCount, scan.frameworkCount, scan.dylibCount,
                                  scan.pluginCount, scan.helperCount}),
              c.counts);
    EXPECT_TRUE(scan.hasValidSignature);
    EXPECT_FALSE(scan.hasAdHocSignature);
    EXPECT_EQ(scan.signatureIssue, std::nullopt);
    const auto verifyPlan = BundlePreparationPlan::make(scan);
    EXPECT_EQ(verifyPlan.requirement, c.kind == ImportedAppKind::nativeSimple
                                          ? PreparationRequirement::none
                                          : PreparationRequirement::verifyOnly);
    EXPECT_EQ(verifyPlan.reason, c.verifyReason);
    EXPECT_EQ(scan.issues.size(), c.kind == ImportedAppKind::nativeSimple ? 0u : 1u);
    EXPECT_TRUE(std::is_sorted(scan.detectedPaths.begin(), scan.detectedPaths.end()));

    signAdHoc(app);
    scan = scanner.scanBundle(app);
    EXPECT_EQ(scan.appKind, c.kind);
    EXPECT_FALSE(scan.hasValidSignature);
    EXPECT_TRUE(scan.hasAdHocSignature);
    EXPECT_EQ(scan.issues, std::vector<std::string>{adHocIssue});
    const auto preparePlan = BundlePreparationPlan::make(scan);
    EXPECT_EQ(preparePlan.requirement, PreparationRequirement::prepareAndResign);
    EXPECT_EQ(preparePlan.reason, c.prepareReason);
  }
}

TEST(CodeSignScannerRules, ClassificationByCountsAndMarkers) {
  struct Case {
    const char* app;
    CodeSignScanner::Counts counts; // N, F, D, P, H
    ImportedAppKind expected;
  };
  using K = ImportedAppKind;
  const std::vector<Case> cases{
      {"/w/Tool.app", {25, 0, 0, 0, 0, {}}, K::nativeSimple},
      {"/w/Tool.app", {1, 0, 0, 4, 4, {}}, K::electronLike}, // plug-ins count as helpers
      {"/w/Tool.app", {1, 4, 0, 1, 1, {}}, K::electronLike},
      {"/w/Tool.app", {4, 3, 3, 0, 0, {}}, K::pythonLike},
      {"/w/Tool.app", {5, 3, 4, 0, 0, {}}, K::runtimeHeavy},
      {"/w/Tool.app", {7, 0, 6, 0, 0, {}}, K::runtimeHeavy},
      {"/w/Tool.app", {10, 1, 0, 0, 0, {}}, K::runtimeHeavy},
      {"/w/Tool.app", {2, 1, 1, 0, 0, {}}, K::unknownComplex},
      {"/w/PythonTool.app", {2, 1, 1, 0, 0, {}}, K::pythonLike}, // the app's own name
      {"/w/Electron Tool.app", {2, 1, 1, 0, 0, {}}, K::electronLike},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.app) + " N=" + std::to_string(c.counts.nestedExecutableCount));
    EXPECT_EQ(CodeSignScanner::classify(c.app, c.counts), c.expected);
  }
}

TEST_F(CodeSignScannerStandIns, OnlyTheFirst120NamesAreTestedForMarkers) {
  const auto app = this->app("Names");
  fs::create_directories(app / "Contents/Frameworks");
  for (int i = 100; i < 230; ++i)
    std::ofstream(app / "Contents/Frameworks" / ("item" + std::to_string(i)));
  std::ofstream(app / "Contents/Resources/qt.conf"); // Resources come last
  const CodeSignScanner::Counts counts{1, 1, 0, 0, 0, {}};
  EXPECT_EQ(CodeSignScanner::classify(app, counts), ImportedAppKind::unknownComplex);
  // With 118 names left in Frameworks, the two in Resources are among the first 120.
  for (int i = 100; i < 112; ++i)
    fs::remove(app / "Contents/Frameworks" / ("item" + std::to_string(i)));
  EXPECT_EQ(CodeSignScanner::classify(app, counts), ImportedAppKind::runtimeHeavy);
  EXPECT_THROW(CodeSignScanner().scanBundle(work() / "Gone.app"), CodeSignScannerError);
}

TEST(CodeSignScannerRules, SignatureInspectionOfToolOutput) {
  struct Case {
    const char* label;
    ToolProcessResult metadata;
    std::optional<ToolProcessResult> verify;
    bool valid, adHoc;
    std::optional<std::string> note;
  };
  const std::string developer = "Executable=/w/X.app/Contents/MacOS/X\nAuthority=Developer ID "
                                "Application: Example Corp (A1B2C3D4E5)\nTeamIdentifier=A1B2C3D4E5";
  const std::vector<Case> cases{
      {"Developer ID", tool(0, developer), tool(0, "X.app: valid on disk"), true, false,
       std::nullopt},
      {"ad hoc", tool(0, "Signature=adhoc\nTeamIdentifier=not set"), tool(0, ""), false, true,
       adHocIssue},
      {"Developer ID, \"adhoc\" only in names",
       tool(0,
            "Executable=/w/AdHoc.app/Contents/MacOS/AdHoc\nIdentifier=com.adhoc.x\n" + developer),
       tool(0, "AdHoc.app: valid on disk"), true, false, std::nullopt},
      {"unsigned, codesign's real text", tool(1, "X.app: code object is not signed at all"),
       tool(1, "X.app: code object is not signed at all"), false, true, adHocIssue},
      {"passed without authority lines", tool(1, "odd"), tool(0, ""), true, false,
       "Imported app verification passed, but detailed signature metadata did not clearly "
       "expose Authority lines. Halyard will continue without forcing preparation."},
      {"verification failed", tool(0, developer),
       tool(1, "X.app: a sealed resource is missing or invalid", "file: Contents/Resources/a"),
       false, false,
       "Imported app signature verification failed: X.app: a sealed resource is missing or "
       "invalid\nfile: Contents/Resources/a"},
      {"verification failed silently", tool(0, developer), tool(1, ""), false, false,
       "Imported app does not have a valid Developer ID signature. Preparation is required "
       "before notarization."},
      {"metadata timed out", tool(-2, "The scan step timed out"), std::nullopt, false, false,
       "Reading signature metadata took too long and was stopped. This app is likely very large "
       "or complex. Preparation is required before notarization."},
      {"verification timed out", tool(0, developer), tool(-2, "timed out"), false, false,
       "Quick signature verification took too long and was stopped. Halyard will treat this app "
       "as requiring preparation before notarization."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::optional<CodeSign::Verification> verify;
    if (c.verify) verify = CodeSign::Verification{*c.verify};
    const auto inspection =
        CodeSignScanner::inspectSignature(CodeSignDetails::from(c.metadata), verify);
    EXPECT_EQ(inspection.valid, c.valid);
    EXPECT_EQ(inspection.adHoc, c.adHoc);
    EXPECT_EQ(inspection.note, c.note);
  }
}

TEST(CodeSignScannerRules, RequirementAndIssuesFollowTheInspection) {
  CodeSignScanResult result;
  result.appKind = ImportedAppKind::pythonLike;
  CodeSignScanner::decide(result, {true, false, std::string("no authority")});
  EXPECT_EQ(result.requirement, PreparationRequirement::verifyOnly);
  EXPECT_EQ(result.issues,
            (std::vector<std::string>{
                "Python-like embedded runtime content detected, but the imported app already has "
                "a valid Developer ID signature. Verification is recommended before continuing.",
                "no authority"}));
  CodeSignScanner::decide(result, {false, false, std::nullopt});
  EXPECT_EQ(result.requirement, PreparationRequirement::prepareAndResign);
  EXPECT_EQ(result.issues, std::vector<std::string>{
                               "Imported app signature requires preparation before notarization."});
}
