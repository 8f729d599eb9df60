#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/Import/PreparedImportReport.hpp"

using namespace halyard;

TEST(PreparedImportReport, JSONUsesFieldNamesRawValuesAndAFileURL) {
  PreparedImportReport report;
  report.appURL = "/w/My App.app";
  report.appKind = ImportedAppKind::electronLike;
  report.requirement = PreparationRequirement::prepareAndResign;
  report.nestedExecutableCount = 3;
  report.frameworkCount = 1;
  report.dylibCount = 2;
  report.issues = {"one"};
  report.performedSteps = {"Scanned app bundle"};
  report.isReadyForNextStep = true;
  report.workingCopyFolder = "/tmp/x";
  const nlohmann::json json = report;
  EXPECT_EQ(json.dump(),
            R"({"appKind":"electronLike","appURL":"file:///w/My%20App.app/","dylibCount":2,)"
            R"("frameworkCount":1,"helperCount":0,"isReadyForNextStep":true,"issues":["one"],)"
            R"("nestedExecutableCount":3,"performedSteps":["Scanned app bundle"],"pluginCount":0,)"
            R"("requirement":"prepareAndResign"})");
  const auto decoded = json.get<PreparedImportReport>();
  EXPECT_EQ(decoded.appURL, report.appURL);
  EXPECT_EQ(decoded.appKind, report.appKind);
  EXPECT_EQ(decoded.requirement, report.requirement);
  EXPECT_EQ(decoded.issues, report.issues);
  EXPECT_FALSE(decoded.workingCopyFolder);
}

TEST(PreparedImportReport, SummariesAndPrimaryIssue) {
  PreparedImportReport report;
  report.nestedExecutableCount = 3;
  report.frameworkCount = 1;
  report.dylibCount = 2;
  EXPECT_EQ(report.detectedContentSummary(),
            "3 nested executables, 1 frameworks, 2 dylibs, 0 plugins, 0 helpers");
  EXPECT_FALSE(report.hasIssues());
  report.issues = {"", " \n", "  Needs work \n", "later"};
  EXPECT_EQ(report.primaryIssue(), "Needs work");

  struct Case {
    PreparationRequirement requirement;
    bool ready;
    const char* summary;
  };
  using R = PreparationRequirement;
  for (const auto& c : std::vector<Case>{
           {R::none, true, "No import preparation was required."},
           {R::none, false,
            "No import preparation was required, but the app is not yet marked ready."},
           {R::verifyOnly, true, "Import scan and verification completed successfully."},
           {R::verifyOnly, false, "Import scan completed, but verification did not fully succeed."},
           {R::prepareAndResign, true, "Import preparation and re-signing completed successfully."},
           {R::prepareAndResign, false,
            "Import preparation ran, but the app is not yet ready for the next step."}}) {
    report.requirement = c.requirement;
    report.isReadyForNextStep = c.ready;
    EXPECT_EQ(report.preparationSummary(), c.summary);
  }
}
