#pragma once

#include <optional>
#include <string>

#include "core/Inspection/InspectionFieldID.hpp"
#include "core/Inspection/InspectionModel.hpp"

namespace halyard {

// One inspected fact: what it is, how it reads, how it was judged and how much it counts towards
// the trust score. Immutable once made.
class InspectionField {
public:
  // The detail is trimmed of surrounding white space and line breaks; an empty detail is none.
  InspectionField(InspectionFieldID id, std::string title, std::string value,
                  std::optional<std::string> detail, InspectionStatus status, int weight);

  InspectionFieldID id() const { return id_; }
  const std::string& title() const { return title_; }
  const std::string& value() const { return value_; }
  const std::optional<std::string>& detail() const { return detail_; }
  InspectionStatus status() const { return status_; }
  int weight() const { return weight_; }

  bool operator==(const InspectionField&) const = default;

private:
  InspectionFieldID id_;
  std::string title_;
  std::string value_;
  std::optional<std::string> detail_;
  InspectionStatus status_;
  int weight_;
};

} // namespace halyard
