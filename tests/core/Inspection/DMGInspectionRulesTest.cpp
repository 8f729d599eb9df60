#include <gtest/gtest.h>

#include "core/Inspection/DMGInspectionRules.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/ToolOutputText.hpp"

using namespace halyard;

namespace {
using S = InspectionStatus;
using ID = InspectionFieldID;

ProcessOutcome outcome(int status, std::string standardError, std::string standardOutput = "") {
  return ProcessOutcome{status, std::move(standardOutput), std::move(standardError)};
}
CodeSign::Verification check(int status, std::string standardError) {
  return {outcome(status, std::move(standardError))};
}
CodeSignDetails details(int status, std::string standardError) {
  return CodeSignDetails::from(outcome(status, std::move(standardError)));
}

const char* developerIDDetails = "Executable=/Volumes/X/X.app/Contents/MacOS/X\n"
                                 "Identifier=com.example.x\n"
                                 "Format=app bundle with Mach-O universal (x86_64 arm64)\n"
                                 "CodeDirectory v=20500 size=512 flags=0x10000(runtime) hashes=9\n"
                                 "Signature size=9000\n"
                                 "Authority=Developer ID Application: Example Corp (A1B2C3D4E5)\n"
                                 "Authority=Developer ID Certification Authority\n"
                                 "Authority=Apple Root CA\n"
                                 "Timestamp=6 Dec 2026 at 10:15:02\n"
                                 "TeamIdentifier=A1B2C3D4E5\n";
} // namespace

TEST(InspectionTextTest, FirstValueTakesTheFirstMatchingLineTrimmedOfBlanks) {
  using text::firstValue;
  EXPECT_EQ(firstValue("a=1\r\n \tKey= value \t\nKey=second", "Key="), "value");
  EXPECT_EQ(firstValue("key=lower", "Key="), std::nullopt);
  EXPECT_EQ(firstValue("TeamIdentifier=A", "Identifier="), std::nullopt);
  EXPECT_EQ(firstValue("Key=", "Key="), "");
  EXPECT_EQ(firstValue("", "Key="), std::nullopt);
  EXPECT_EQ(text::printable("a\x1b[31mb\x7f\tc\rd"), "a\\x1b[31mb\\x7f\tc\\x0dd");
}

TEST(DMGInspectionRulesTest, DMGSignature) {
  const auto valid = DMGInspectionRules::dmgSignature(check(0, "X.dmg: valid on disk"),
                                                      details(0, developerIDDetails));
  EXPECT_EQ(valid.value(), "Valid - Developer ID Application: Example Corp (A1B2C3D4E5)");
  EXPECT_EQ(valid.status(), S::pass);
  EXPECT_EQ(valid.weight(), 5);
  EXPECT_EQ(DMGInspectionRules::dmgSignature(check(0, ""), details(1, "")).value(), "Valid");

  const auto unsigned_ = DMGInspectionRules::dmgSignature(
      check(1, "X.dmg: code object is NOT SIGNED at all"), details(1, ""));
  EXPECT_EQ(unsigned_.value(), "The DMG itself is not signed.");
  EXPECT_EQ(unsigned_.status(), S::warning);
  EXPECT_EQ(unsigned_.detail(), "X.dmg: code object is NOT SIGNED at all");

  const auto tampered = DMGInspectionRules::dmgSignature(
      check(1, "X.dmg: a sealed resource is missing or invalid"), details(0, ""));
  EXPECT_EQ(tampered.value(), "The DMG signature is not valid.");
}

TEST(DMGInspectionRulesTest, SignatureDetailsOfADeveloperIDApp) {
  const auto fields = DMGInspectionRules::signatureDetails(details(0, developerIDDetails));
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0], InspectionField(ID::developer, "Developer",
                                       "Developer ID Application: Example Corp (A1B2C3D4E5)",
                                       std::nullopt, S::pass, 10));
  EXPECT_EQ(fields[1],
            InspectionField(ID::teamIdentifier, "Team ID", "A1B2C3D4E5", std::nullopt, S::info, 0));
  EXPECT_EQ(fields[2], InspectionField(ID::identifier, "App identifier", "com.example.x",
                                       std::nullopt, S::pass, 7));
  EXPECT_EQ(fields[3], InspectionField(ID::timestamp, "Secure timestamp",
                                       "Present 6 Dec 2026 at 10:15:02", std::nullopt, S::pass, 5));
  EXPECT_EQ(fields[4], InspectionField(ID::hardenedRuntime, "Hardened Runtime", "Enabled.",
                                       std::nullopt, S::pass, 5));
}

TEST(DMGInspectionRulesTest, SignatureDetailsOfAdHocAndDevelopmentSignatures) {
  const auto adHoc = DMGInspectionRules::signatureDetails(
      details(0, "Executable=/V/X.app/Contents/MacOS/X\nIdentifier=x\nCodeDirectory v=20400 "
                 "flags=0x2(adhoc)\nSignature=adhoc\nTeamIdentifier=not set"));
  EXPECT_EQ(adHoc[0].value(), "Could not be determined.");
  EXPECT_EQ(adHoc[0].status(), S::warning);
  EXPECT_EQ(adHoc[1].value(), "Not found.");
  EXPECT_EQ(adHoc[1].status(), S::warning);
  EXPECT_EQ(adHoc[2].value(), "x");
  EXPECT_EQ(adHoc[3].value(), "No secure timestamp.");
  EXPECT_EQ(adHoc[4].value(), "Not enabled (required for notarization).");
  EXPECT_EQ(adHoc[4].status(), S::warning);

  const auto development = DMGInspectionRules::signatureDetails(
      details(0, "Authority=Apple Development: dev@example.com (F6G7H8J9K0)"));
  EXPECT_EQ(development[0].value(), "Apple Development: dev@example.com (F6G7H8J9K0)");
  EXPECT_EQ(development[0].status(), S::warning);
  EXPECT_EQ(development[2].value(), "No app identifier found.");
  EXPECT_EQ(development[2].status(), S::warning);
}

TEST(DMGInspectionRulesTest, BundleFacts) {
  using Names = std::vector<std::string>;
  const auto facts =
      DMGInspectionRules::bundleFacts(AppBundleInfo{"2.1", "13.0", "X"}, Names{"x86_64", "arm64"});
  EXPECT_EQ(facts[0].value(), "2.1");
  EXPECT_EQ(facts[1].value(), "macOS 13.0");
  EXPECT_EQ(facts[2].value(), "Intel (x86_64), Apple silicon (arm64)");
  for (const auto& fact : facts) {
    EXPECT_EQ(fact.status(), S::info);
    EXPECT_EQ(fact.weight(), 0);
  }
  const auto unknown = DMGInspectionRules::bundleFacts(AppBundleInfo{}, std::nullopt);
  EXPECT_EQ(unknown[0].value(), "Not specified.");
  EXPECT_EQ(unknown[1].value(), "Not specified.");
  EXPECT_EQ(unknown[2].value(), "Could not be determined.");
  EXPECT_EQ(DMGInspectionRules::architectures(Names{}), "Could not be determined.");
  EXPECT_EQ(DMGInspectionRules::architectures(Names{"i386"}), "i386");
}

TEST(DMGInspectionRulesTest, AppTrust) {
  const auto notarized = DMGInspectionRules::appGatekeeper(Gatekeeper::read(outcome(
      0, "X.app: accepted\nsource=Notarized Developer ID\norigin=Developer ID Application: E")));
  EXPECT_EQ(notarized.value(), "Accepted - Notarized Developer ID.");
  EXPECT_EQ(notarized.status(), S::pass);
  EXPECT_EQ(notarized.detail(),
            "X.app: accepted\nsource=Notarized Developer ID\norigin=Developer ID Application: E");
  EXPECT_EQ(
      DMGInspectionRules::appGatekeeper(Gatekeeper::read(outcome(0, "X.app: accepted"))).value(),
      "Accepted.");
  const auto rejected = DMGInspectionRules::appGatekeeper(
      Gatekeeper::read(outcome(3, "X.app: rejected\nsource=Unnotarized Developer ID")));
  EXPECT_EQ(rejected.value(), "Rejected by Gatekeeper.");
  EXPECT_EQ(rejected.status(), S::fail);

  // How stapler's answer is read is Stapler's (StaplerTest); here only what each verdict shows.
  const auto stapled = DMGInspectionRules::appStapled(
      {outcome(0, "", "Processing: /V/X.app\nThe validate action worked!")});
  EXPECT_EQ(stapled.value(), "Yes - the app opens even without internet.");
  EXPECT_EQ(stapled.weight(), 3);
  const auto missing = DMGInspectionRules::appStapled(
      {outcome(65, "", "X.app does not have a ticket stapled to it.")});
  EXPECT_EQ(missing.value(), "No ticket stapled to the app.");
  EXPECT_EQ(missing.status(), S::warning);
}
