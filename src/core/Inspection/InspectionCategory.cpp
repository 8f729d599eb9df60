#include "core/Inspection/InspectionCategory.hpp"

#include <algorithm>
#include <utility>

namespace halyard {

std::string_view rawValue(InspectionCategoryID id) {
  switch (id) {
  case InspectionCategoryID::file:
    return "file";
  case InspectionCategoryID::contents:
    return "contents";
  case InspectionCategoryID::signing:
    return "signing";
  case InspectionCategoryID::trust:
    return "trust";
  case InspectionCategoryID::installer:
    return "installer";
  }
  return "file";
}

InspectionCategory InspectionCategory::make(InspectionCategoryID id, std::string title,
                                            std::vector<InspectionField> fields) {
  auto summary = summaryFor(fields);
  return InspectionCategory{id, std::move(title), std::move(summary), std::move(fields)};
}

std::string InspectionCategory::summaryFor(const std::vector<InspectionField>& fields) {
  auto count = [&](InspectionStatus status) {
    return std::count_if(fields.begin(), fields.end(),
                         [&](const InspectionField& field) { return field.status() == status; });
  };
  const auto failures = count(InspectionStatus::fail);
  if (failures == 1) return "1 problem found.";
  if (failures > 1) return std::to_string(failures) + " problems found.";
  const auto warnings = count(InspectionStatus::warning);
  if (warnings == 1) return "1 item needs attention.";
  if (warnings > 1) return std::to_string(warnings) + " items need attention.";
  return "Everything checks out.";
}

InspectionStatus InspectionCategory::worstStatus() const {
  auto any = [&](InspectionStatus status) {
    return std::any_of(fields.begin(), fields.end(),
                       [&](const InspectionField& field) { return field.status() == status; });
  };
  if (any(InspectionStatus::fail)) return InspectionStatus::fail;
  if (any(InspectionStatus::warning)) return InspectionStatus::warning;
  if (any(InspectionStatus::pass)) return InspectionStatus::pass;
  return InspectionStatus::info;
}

} // namespace halyard
