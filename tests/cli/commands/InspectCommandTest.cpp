#include <gtest/gtest.h>

#include "cli/commands/InspectCommand.hpp"

using namespace bosun;
using namespace halyard;

namespace {
InspectionReport sampleReport(InspectionStatus signatureStatus) {
  using ID = InspectionFieldID;
  const auto file = InspectionCategory::make(
      InspectionCategoryID::file, "File",
      {InspectionField(ID::accessibility, "File accessibility", "DMG is present and readable.",
                       "/tmp/X.dmg", InspectionStatus::pass, 10),
       InspectionField(ID::sha256, "SHA-256", "ab", std::nullopt, InspectionStatus::info, 0)});
  const auto signing = InspectionCategory::make(
      InspectionCategoryID::signing, "Signing",
      {InspectionField(ID::appSignature, "App signature", "Signature validation failed.",
                       "X.app: invalid\n\x1b[2Jline two", signatureStatus, 20),
       InspectionField(ID::timestamp, "Secure timestamp", "No secure timestamp.", std::nullopt,
                       InspectionStatus::warning, 5)});
  return InspectionReport("/tmp/X.dmg", InspectionFileKind::dmg, "X.app", {file, signing}, 39,
                          InspectionVerdict::notTrusted,
                          "Score limited because a trusted signature was not verified.",
                          std::chrono::system_clock::time_point{});
}
} // namespace

TEST(InspectCommandTest, TextReport) {
  const auto report = sampleReport(InspectionStatus::fail);
  EXPECT_EQ(InspectCommand::textLines(report, false),
            (std::vector<std::string>{"X.dmg (DMG) - X.app", "Trust score 39% - Not Trusted",
                                      "Score limited because a trusted signature was not verified.",
                                      "", "File: Everything checks out.",
                                      "  ✓ File accessibility: DMG is present and readable.",
                                      "  · SHA-256: ab", "", "Signing: 1 problem found.",
                                      "  ✗ App signature: Signature validation failed.",
                                      "  ! Secure timestamp: No secure timestamp."}));

  // Verbose adds the details, indented; control characters from the file are made visible.
  const auto verbose = InspectCommand::textLines(report, true);
  EXPECT_EQ(verbose[6], "      /tmp/X.dmg");
  EXPECT_EQ(verbose[10], "  ✗ App signature: Signature validation failed.");
  EXPECT_EQ(verbose[11], "      X.app: invalid");
  EXPECT_EQ(verbose[12], "      \\x1b[2Jline two");
  EXPECT_EQ(verbose.size(), 14u);
}

TEST(InspectCommandTest, JSONReportAndExitCode) {
  const auto report = sampleReport(InspectionStatus::fail);
  const auto object = InspectCommand::reportObject(report);
  EXPECT_EQ(
      object.dump(),
      R"({"app":"X.app","categories":[{"fields":[{"detail":"/tmp/X.dmg","id":"accessibility",)"
      R"("status":"ok","title":"File accessibility","value":"DMG is present and readable."},)"
      R"({"detail":null,"id":"sha256","status":"info","title":"SHA-256","value":"ab"}],)"
      R"("summary":"Everything checks out.","title":"File"},{"fields":[{"detail":)"
      R"("X.app: invalid\n\u001b[2Jline two","id":"appSignature","status":"problem",)"
      R"("title":"App signature","value":"Signature validation failed."},{"detail":null,)"
      R"("id":"timestamp","status":"warning","title":"Secure timestamp","value":)"
      R"("No secure timestamp."}],"summary":"1 problem found.","title":"Signing"}],)"
      R"("file":"/tmp/X.dmg","kind":"DMG","notice":"Score limited because a trusted )"
      R"(signature was not verified.","score":39,"verdict":"Not Trusted"})");
  EXPECT_EQ(InspectCommand::exitCode(report), ExitCode::verification);
  // Warnings alone do not fail the command.
  EXPECT_EQ(InspectCommand::exitCode(sampleReport(InspectionStatus::warning)), ExitCode::success);
}
