#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Inspection/InspectionField.hpp"

namespace halyard {

enum class InspectionCategoryID { file, contents, signing, trust, installer };

std::string_view rawValue(InspectionCategoryID id);

// A titled group of fields with a one-line summary of their judgements.
struct InspectionCategory {
  InspectionCategoryID id;
  std::string title;
  std::string summary;
  std::vector<InspectionField> fields;

  // A category whose summary is computed from its fields.
  static InspectionCategory make(InspectionCategoryID id, std::string title,
                                 std::vector<InspectionField> fields);

  // "N problem(s) found.", else "N item(s) need(s) attention.", else "Everything checks out."
  static std::string summaryFor(const std::vector<InspectionField>& fields);

  // fail beats warning beats pass; all-informational (or empty) is info.
  InspectionStatus worstStatus() const;

  bool operator==(const InspectionCategory&) const = default;
};

} // namespace halyard
