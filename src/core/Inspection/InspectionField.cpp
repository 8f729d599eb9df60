#include "core/Inspection/InspectionField.hpp"

#include <utility>

#include "core/Support/Text.hpp"

namespace halyard {

InspectionField::InspectionField(InspectionFieldID id, std::string title, std::string value,
                                 std::optional<std::string> detail, InspectionStatus status,
                                 int weight)
    : id_(id), title_(std::move(title)), value_(std::move(value)), status_(status),
      weight_(weight) {
  if (detail) {
    auto trimmedDetail = text::trimmed(*detail);
    if (!trimmedDetail.empty()) detail_ = std::move(trimmedDetail);
  }
}

} // namespace halyard
