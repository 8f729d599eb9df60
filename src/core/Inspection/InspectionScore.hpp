#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Inspection/InspectionField.hpp"
#include "core/Inspection/InspectionModel.hpp"

namespace halyard {

// The trust score of a complete list of fields: the weighted share of passed facts (warnings
// count half), limited by the caps for missing fundamentals, with the verdict it leads to and
// the reason for the last cap that applied.
struct InspectionScore {
  int value = 0;
  InspectionVerdict verdict = InspectionVerdict::notTrusted;
  std::optional<std::string> notice;

  static InspectionScore score(const std::vector<InspectionField>& fields, InspectionFileKind kind);

  bool operator==(const InspectionScore&) const = default;
};

} // namespace halyard
