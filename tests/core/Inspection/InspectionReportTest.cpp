#include <gtest/gtest.h>

#include "core/Inspection/InspectionReport.hpp"

using namespace halyard;

namespace {
using ID = InspectionFieldID;
using S = InspectionStatus;

InspectionField fact(ID id, S status, std::optional<std::string> detail = std::nullopt) {
  return InspectionField(id, "T", "V", std::move(detail), status, 1);
}
} // namespace

TEST(InspectionFieldTest, DetailIsTrimmedAndEmptyDetailIsNone) {
  const InspectionField field(ID::sha256, " Title ", "  value\n", " \n\t detail line\n ", S::info,
                              0);
  EXPECT_EQ(field.title(), " Title ");
  EXPECT_EQ(field.value(), "  value\n");
  EXPECT_EQ(field.detail(), "detail line");
  EXPECT_EQ(InspectionField(ID::sha256, "t", "v", " \r\n\t ", S::info, 0).detail(), std::nullopt);
  EXPECT_EQ(InspectionField(ID::sha256, "t", "v", "a\n\nb", S::info, 0).detail(), "a\n\nb");
}

TEST(InspectionFieldTest, IdentifiersRoundTripThroughRawValues) {
  const auto& all = allInspectionFieldIDs();
  ASSERT_EQ(all.size(), 29u);
  EXPECT_EQ(rawValue(all.front()), "accessibility");
  EXPECT_EQ(rawValue(all.back()), "iconPlacement");
  for (const auto id : all)
    EXPECT_EQ(inspectionFieldIDFromRawValue(rawValue(id)), id);
  EXPECT_EQ(inspectionFieldIDFromRawValue("SHA256"), std::nullopt);
  EXPECT_EQ(inspectionFieldIDFromRawValue(""), std::nullopt);
  EXPECT_EQ(kitLabel(S::pass), "OK");
  EXPECT_EQ(kitLabel(S::warning), "Warning");
  EXPECT_EQ(kitLabel(S::fail), "Problem");
  EXPECT_EQ(kitLabel(S::info), "Info");
}

TEST(InspectionCategoryTest, SummaryCountsProblemsBeforeWarnings) {
  using C = InspectionCategory;
  EXPECT_EQ(C::summaryFor({}), "Everything checks out.");
  EXPECT_EQ(C::summaryFor({fact(ID::sha256, S::info), fact(ID::fileSize, S::pass)}),
            "Everything checks out.");
  EXPECT_EQ(C::summaryFor({fact(ID::sha256, S::warning)}), "1 item needs attention.");
  EXPECT_EQ(C::summaryFor({fact(ID::sha256, S::warning), fact(ID::fileSize, S::warning),
                           fact(ID::quarantine, S::warning)}),
            "3 items need attention.");
  EXPECT_EQ(C::summaryFor({fact(ID::sha256, S::warning), fact(ID::fileSize, S::fail)}),
            "1 problem found.");
  EXPECT_EQ(C::summaryFor({fact(ID::sha256, S::fail), fact(ID::fileSize, S::fail)}),
            "2 problems found.");
}

TEST(InspectionCategoryTest, WorstStatus) {
  const auto category = [](std::vector<InspectionField> fields) {
    return InspectionCategory::make(InspectionCategoryID::file, "File", std::move(fields));
  };
  EXPECT_EQ(category({}).worstStatus(), S::info);
  const auto informational = category({fact(ID::sha256, S::info), fact(ID::fileSize, S::info)});
  EXPECT_EQ(informational.worstStatus(), S::info);
  EXPECT_EQ(informational.summary, "Everything checks out.");
  EXPECT_EQ(category({fact(ID::sha256, S::info), fact(ID::fileSize, S::pass)}).worstStatus(),
            S::pass);
  EXPECT_EQ(category({fact(ID::sha256, S::pass), fact(ID::fileSize, S::warning)}).worstStatus(),
            S::warning);
  EXPECT_EQ(category({fact(ID::sha256, S::fail), fact(ID::fileSize, S::warning)}).worstStatus(),
            S::fail);
}

namespace {
InspectionReport sampleReport(std::optional<std::string> appName,
                              std::optional<std::string> notice) {
  const auto file = InspectionCategory::make(
      InspectionCategoryID::file, "File",
      {InspectionField(ID::accessibility, "File accessibility", "DMG is present and readable.",
                       "/tmp/My App.dmg", S::pass, 10),
       InspectionField(ID::sha256, "SHA-256", "ab12", std::nullopt, S::info, 0)});
  const auto signing = InspectionCategory::make(
      InspectionCategoryID::signing, "Signing",
      {InspectionField(ID::appSignature, "App signature", "Signature validation failed.",
                       "line one\nline two é\nline three", S::fail, 20)});
  return InspectionReport("/tmp/My App.dmg", InspectionFileKind::dmg, std::move(appName),
                          {file, signing}, 39, InspectionVerdict::notTrusted, std::move(notice),
                          std::chrono::system_clock::time_point{});
}
} // namespace

TEST(InspectionReportTest, KitSummaryWithoutDetails) {
  const auto report = sampleReport("My App.app", "Score limited because a trusted signature "
                                                 "was not verified.");
  EXPECT_EQ(report.kitSummary(0),
            "Inspection report for My App.dmg (DMG), containing My App.app.\n"
            "Trust score 39% - Not Trusted. Score limited because a trusted signature was not "
            "verified.\n"
            "[File] Everything checks out.\n"
            "- File accessibility (OK): DMG is present and readable.\n"
            "- SHA-256 (Info): ab12\n"
            "[Signing] 1 problem found.\n"
            "- App signature (Problem): Signature validation failed.");
}

TEST(InspectionReportTest, KitSummaryCutsDetailsAfterJoiningLines) {
  const auto report = sampleReport(std::nullopt, std::nullopt);
  // "line one | line two é | line three" cut to 21 characters: the é counts as one.
  EXPECT_EQ(report.kitSummary(21),
            "Inspection report for My App.dmg (DMG).\n"
            "Trust score 39% - Not Trusted.\n"
            "[File] Everything checks out.\n"
            "- File accessibility (OK): DMG is present and readable. - details: /tmp/My App.dmg\n"
            "- SHA-256 (Info): ab12\n"
            "[Signing] 1 problem found.\n"
            "- App signature (Problem): Signature validation failed. - details: line one | line "
            "two é");
}
