#include "core/Inspection/InspectionScore.hpp"

#include <algorithm>
#include <cstdint>

namespace halyard {

namespace {
using ID = InspectionFieldID;

bool passes(const std::vector<InspectionField>& fields, ID id) {
  const auto found = std::find_if(fields.begin(), fields.end(),
                                  [&](const InspectionField& field) { return field.id() == id; });
  return found != fields.end() && found->status() == InspectionStatus::pass;
}

bool installerFieldWarns(const std::vector<InspectionField>& fields) {
  return std::any_of(fields.begin(), fields.end(), [](const InspectionField& field) {
    return (field.id() == ID::installerScripts || field.id() == ID::privilegedCommands ||
            field.id() == ID::sensitiveActions) &&
           field.status() == InspectionStatus::warning;
  });
}

// Halves are rounded away from zero. Earned weight is counted in halves so that the division is
// exact: 2E * 100 / 2T.
int roundedPercentage(int64_t earnedHalves, int64_t total) {
  const int64_t numerator = earnedHalves * 100;
  const int64_t denominator = 2 * total;
  const int64_t magnitude =
      (2 * (numerator < 0 ? -numerator : numerator) + denominator) / (2 * denominator);
  return static_cast<int>(numerator < 0 ? -magnitude : magnitude);
}
} // namespace

InspectionScore InspectionScore::score(const std::vector<InspectionField>& fields,
                                       InspectionFileKind kind) {
  int64_t total = 0;
  int64_t earnedHalves = 0;
  for (const auto& field : fields) {
    total += field.weight();
    if (field.status() == InspectionStatus::pass) earnedHalves += 2 * int64_t{field.weight()};
    if (field.status() == InspectionStatus::warning) earnedHalves += field.weight();
  }
  if (total < 1) return InspectionScore{0, InspectionVerdict::notTrusted, std::nullopt};

  int64_t score = roundedPercentage(earnedHalves, total);
  std::optional<std::string> notice;
  const auto cap = [&](bool condition, int64_t limit, const char* text) {
    if (!condition) return;
    score = std::min(score, limit);
    notice = text;
  };

  const bool dmg = kind == InspectionFileKind::dmg;
  cap(dmg && !passes(fields, ID::appBundle), 39,
      "Score limited because the app bundle could not be verified.");
  cap(!passes(fields, ID::appSignature) && !passes(fields, ID::packageSignature), 39,
      "Score limited because a trusted signature was not verified.");
  cap(!passes(fields, ID::appGatekeeper) && (dmg || !passes(fields, ID::fileGatekeeper)), 59,
      "Score limited because Gatekeeper did not accept this file.");
  cap(!passes(fields, ID::notarization), 79,
      "Score limited because notarization proof was not detected.");
  cap(!dmg && installerFieldWarns(fields), 80,
      "Score limited to 80 because installer scripts need a closer look.");

  const int clamped = static_cast<int>(std::clamp<int64_t>(score, 0, 100));
  return InspectionScore{clamped, verdictForScore(clamped), notice};
}

} // namespace halyard
