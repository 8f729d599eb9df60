#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Inspection/InspectionCategory.hpp"
#include "core/Inspection/InspectionModel.hpp"

namespace halyard {

// The trust report of one DMG or PKG. A plain value, immutable after creation.
class InspectionReport {
public:
  InspectionReport(std::filesystem::path fileURL, InspectionFileKind kind,
                   std::optional<std::string> appName, std::vector<InspectionCategory> categories,
                   int score, InspectionVerdict verdict, std::optional<std::string> scoreNotice,
                   std::chrono::system_clock::time_point date);

  const std::filesystem::path& fileURL() const { return fileURL_; }
  InspectionFileKind kind() const { return kind_; }
  const std::optional<std::string>& appName() const { return appName_; }
  const std::vector<InspectionCategory>& categories() const { return categories_; }
  int score() const { return score_; }
  InspectionVerdict verdict() const { return verdict_; }
  const std::optional<std::string>& scoreNotice() const { return scoreNotice_; }
  std::chrono::system_clock::time_point date() const { return date_; }

  // The last path component of the file.
  std::string fileName() const;

  // Every category's fields, in category order.
  std::vector<InspectionField> allFields() const;

  // The first field with this identifier, or none.
  std::optional<InspectionField> field(InspectionFieldID id) const;

  // A plain-text rendering; details are added, cut to `maxDetail` characters, when it is above 0.
  std::string kitSummary(int maxDetail) const;

  bool operator==(const InspectionReport&) const = default;

private:
  std::filesystem::path fileURL_;
  InspectionFileKind kind_;
  std::optional<std::string> appName_;
  std::vector<InspectionCategory> categories_;
  int score_;
  InspectionVerdict verdict_;
  std::optional<std::string> scoreNotice_;
  std::chrono::system_clock::time_point date_;
};

} // namespace halyard
