#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/Inspection/InspectionCategory.hpp"
#include "core/Inspection/InspectionField.hpp"
#include "core/Inspection/InspectionModel.hpp"

namespace halyard {

// Where each fact belongs, what it is called and how much it counts, for DMGs and PKGs.
struct InspectionFieldCatalogue {
  struct Entry {
    InspectionCategoryID category;
    std::string_view title;
    int weight; // the installer fields' weight when they have something to report
  };

  static Entry entry(InspectionFieldID id, InspectionFileKind kind);

  // "File", "Contents", "Signing", "Gatekeeper & Notarization", "Installer Behavior".
  static std::string_view categoryTitle(InspectionCategoryID id);

  // A field with the catalogue's title and weight.
  static InspectionField field(InspectionFieldID id, InspectionFileKind kind, std::string value,
                               InspectionStatus status,
                               std::optional<std::string> detail = std::nullopt);

  // The same with a weight chosen by the caller (the installer fields weigh 0 when there is
  // nothing to report).
  static InspectionField weightedField(InspectionFieldID id, InspectionFileKind kind,
                                       std::string value, InspectionStatus status, int weight,
                                       std::optional<std::string> detail = std::nullopt);
};

} // namespace halyard
