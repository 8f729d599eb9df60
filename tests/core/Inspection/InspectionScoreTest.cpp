#include <gtest/gtest.h>

#include <vector>

#include "core/Inspection/InspectionScore.hpp"

using namespace halyard;

namespace {
using ID = InspectionFieldID;
using S = InspectionStatus;

InspectionField fact(ID id, S status, int weight) {
  return InspectionField(id, "title", "value", std::nullopt, status, weight);
}

// Every weighted fact of a DMG passing, with the catalogue's weights (total 115).
std::vector<InspectionField> perfectDMG() {
  return {
      fact(ID::accessibility, S::pass, 10), fact(ID::fileSize, S::info, 0),
      fact(ID::sha256, S::info, 0),         fact(ID::quarantine, S::info, 0),
      fact(ID::mountability, S::pass, 10),  fact(ID::appBundle, S::pass, 10),
      fact(ID::appVersion, S::info, 0),     fact(ID::dmgSignature, S::pass, 5),
      fact(ID::appSignature, S::pass, 20),  fact(ID::developer, S::pass, 10),
      fact(ID::teamIdentifier, S::info, 0), fact(ID::identifier, S::pass, 7),
      fact(ID::timestamp, S::pass, 5),      fact(ID::hardenedRuntime, S::pass, 5),
      fact(ID::entitlements, S::info, 0),   fact(ID::appGatekeeper, S::pass, 10),
      fact(ID::appStapled, S::pass, 3),     fact(ID::fileGatekeeper, S::pass, 5),
      fact(ID::notarization, S::pass, 10),  fact(ID::fileStapled, S::pass, 5),
  };
}

std::vector<InspectionField> replaced(std::vector<InspectionField> fields, ID id, S status) {
  for (auto& field : fields) {
    if (field.id() == id) field = fact(id, status, field.weight());
  }
  return fields;
}

// A package whose fundamentals pass (signature, Gatekeeper, notarization: 40 of 100) with
// room for the rest to be arranged by the test.
std::vector<InspectionField> package(std::vector<InspectionField> rest) {
  std::vector<InspectionField> fields{fact(ID::packageSignature, S::pass, 20),
                                      fact(ID::fileGatekeeper, S::pass, 10),
                                      fact(ID::notarization, S::pass, 10)};
  fields.insert(fields.end(), rest.begin(), rest.end());
  return fields;
}
} // namespace

TEST(InspectionScoreTest, PerfectDMGIsTrustedWithoutNotice) {
  const auto result = InspectionScore::score(perfectDMG(), InspectionFileKind::dmg);
  EXPECT_EQ(result, (InspectionScore{100, InspectionVerdict::trusted, std::nullopt}));
}

TEST(InspectionScoreTest, EmptyOrWeightlessListsAreNotTrusted) {
  const InspectionScore zero{0, InspectionVerdict::notTrusted, std::nullopt};
  EXPECT_EQ(InspectionScore::score({}, InspectionFileKind::dmg), zero);
  EXPECT_EQ(InspectionScore::score({fact(ID::sha256, S::info, 0), fact(ID::fileSize, S::pass, 0)},
                                   InspectionFileKind::pkg),
            zero);
}

TEST(InspectionScoreTest, WarningsEarnHalfAndHalvesRoundAwayFromZero) {
  // T = 100; E = 40 + 30 + 2.5 (a warning of weight 5) = 72.5, which rounds to 73.
  const auto fields =
      package({fact(ID::accessibility, S::pass, 30), fact(ID::timestamp, S::warning, 5),
               fact(ID::developer, S::fail, 25)});
  const auto result = InspectionScore::score(fields, InspectionFileKind::pkg);
  EXPECT_EQ(result, (InspectionScore{73, InspectionVerdict::caution, std::nullopt}));

  // T = 120 (the fundamentals plus 80 failed): 40 / 120 = 33.3 rounds down, 80 / 120 up.
  EXPECT_EQ(
      InspectionScore::score(package({fact(ID::developer, S::fail, 80)}), InspectionFileKind::pkg)
          .value,
      33);
  EXPECT_EQ(InspectionScore::score(
                package({fact(ID::developer, S::pass, 40), fact(ID::timestamp, S::fail, 40)}),
                InspectionFileKind::pkg)
                .value,
            67);
}

TEST(InspectionScoreTest, InformationalAndFailedFactsEarnNothing) {
  auto fields = perfectDMG();
  fields.push_back(fact(ID::architectures, S::info, 0));
  EXPECT_EQ(InspectionScore::score(fields, InspectionFileKind::dmg).value, 100);

  // A weighted fact judged informational counts in the total but earns nothing: 115 / 135.
  fields.push_back(fact(ID::internalVisibility, S::info, 20));
  EXPECT_EQ(InspectionScore::score(fields, InspectionFileKind::dmg).value, 85);
}

TEST(InspectionScoreTest, FailedAppSignatureCapsAt39) {
  // Uncapped: 95 / 115 = 82.6 -> 83.
  const auto result = InspectionScore::score(replaced(perfectDMG(), ID::appSignature, S::fail),
                                             InspectionFileKind::dmg);
  EXPECT_EQ(result,
            (InspectionScore{39, InspectionVerdict::notTrusted,
                             "Score limited because a trusted signature was not verified."}));
}

TEST(InspectionScoreTest, MissingAppBundleCapsOnlyDMGs) {
  auto fields = replaced(perfectDMG(), ID::appBundle, S::fail);
  EXPECT_EQ(InspectionScore::score(fields, InspectionFileKind::dmg),
            (InspectionScore{39, InspectionVerdict::notTrusted,
                             "Score limited because the app bundle could not be verified."}));

  // A package has no app bundle field and no such cap.
  const auto result = InspectionScore::score(package({}), InspectionFileKind::pkg);
  EXPECT_EQ(result, (InspectionScore{100, InspectionVerdict::trusted, std::nullopt}));
}

TEST(InspectionScoreTest, MissingNotarizationCapsAt79) {
  // Uncapped: (115 - 10 + 5) / 115 = 95.7 -> 96.
  const auto result = InspectionScore::score(replaced(perfectDMG(), ID::notarization, S::warning),
                                             InspectionFileKind::dmg);
  EXPECT_EQ(result,
            (InspectionScore{79, InspectionVerdict::caution,
                             "Score limited because notarization proof was not detected."}));
}

TEST(InspectionScoreTest, GatekeeperCapDependsOnKind) {
  const char* gatekeeperNotice = "Score limited because Gatekeeper did not accept this file.";
  // A DMG needs the app's assessment; the DMG's own does not stand in for it.
  auto dmg = replaced(perfectDMG(), ID::appGatekeeper, S::fail);
  EXPECT_EQ(InspectionScore::score(dmg, InspectionFileKind::dmg),
            (InspectionScore{59, InspectionVerdict::caution, gatekeeperNotice}));

  // A package is accepted through its own assessment, or through an app's.
  EXPECT_FALSE(InspectionScore::score(package({}), InspectionFileKind::pkg).notice);
  auto rejected = package({});
  rejected[1] = fact(ID::fileGatekeeper, S::fail, 10);
  EXPECT_EQ(InspectionScore::score(rejected, InspectionFileKind::pkg),
            (InspectionScore{59, InspectionVerdict::caution, gatekeeperNotice}));
  rejected.push_back(fact(ID::appGatekeeper, S::pass, 0));
  EXPECT_EQ(InspectionScore::score(rejected, InspectionFileKind::pkg).value, 75); // 30 / 40
}

TEST(InspectionScoreTest, LaterCapReplacesNoticeEvenWithoutLoweringScore) {
  // A package whose installer scripts warn and whose notarization is missing: the notarization
  // cap takes 84 down to 79, the installer cap leaves 79 but its notice wins.
  auto fields =
      package({fact(ID::accessibility, S::pass, 10), fact(ID::installerScripts, S::warning, 8)});
  fields[2] = fact(ID::notarization, S::warning, 10);
  EXPECT_EQ(InspectionScore::score(fields, InspectionFileKind::pkg),
            (InspectionScore{79, InspectionVerdict::caution,
                             "Score limited to 80 because installer scripts need a closer look."}));

  // A DMG without its app and without notarization: 39 from the first cap, notice of the last.
  auto dmg = replaced(replaced(perfectDMG(), ID::appBundle, S::fail), ID::notarization, S::warning);
  EXPECT_EQ(InspectionScore::score(dmg, InspectionFileKind::dmg),
            (InspectionScore{39, InspectionVerdict::notTrusted,
                             "Score limited because notarization proof was not detected."}));
}

TEST(InspectionScoreTest, InstallerCapAppliesToPackagesOnly) {
  // Weight-0 warnings (scripts that could not be inspected) still trigger the cap.
  auto fields = package({fact(ID::sensitiveActions, S::warning, 0)});
  EXPECT_EQ(InspectionScore::score(fields, InspectionFileKind::pkg),
            (InspectionScore{80, InspectionVerdict::trusted,
                             "Score limited to 80 because installer scripts need a closer look."}));
  // Passing installer fields leave the score alone.
  EXPECT_EQ(InspectionScore::score(package({fact(ID::installerScripts, S::pass, 0)}),
                                   InspectionFileKind::pkg)
                .value,
            100);
  // The same warning on a DMG has no cap.
  auto dmg = perfectDMG();
  dmg.push_back(fact(ID::privilegedCommands, S::warning, 0));
  EXPECT_EQ(InspectionScore::score(dmg, InspectionFileKind::dmg).value, 100);
}

TEST(InspectionScoreTest, VerdictBoundaries) {
  EXPECT_EQ(verdictForScore(100), InspectionVerdict::trusted);
  EXPECT_EQ(verdictForScore(80), InspectionVerdict::trusted);
  EXPECT_EQ(verdictForScore(79), InspectionVerdict::caution);
  EXPECT_EQ(verdictForScore(50), InspectionVerdict::caution);
  EXPECT_EQ(verdictForScore(49), InspectionVerdict::notTrusted);
  EXPECT_EQ(verdictForScore(0), InspectionVerdict::notTrusted);
}

TEST(InspectionScoreTest, OnlyTheFirstFieldOfAnIdentifierDecidesACap) {
  // A later passing duplicate does not lift the signature cap.
  auto fields = replaced(perfectDMG(), ID::appSignature, S::fail);
  fields.push_back(fact(ID::appSignature, S::pass, 0));
  EXPECT_EQ(InspectionScore::score(fields, InspectionFileKind::dmg).value, 39);
}
