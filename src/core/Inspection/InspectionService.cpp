#include "core/Inspection/InspectionService.hpp"

#include <chrono>
#include <utility>

#include "core/Inspection/InspectionScore.hpp"

namespace halyard {

InspectionReport InspectionService::inspect(const std::filesystem::path& file,
                                            const Progress& progress,
                                            const InspectionRunner::Function& run,
                                            const WindowSeen& windowSeen) {
  const auto kind = inspectionFileKind(file);
  progress("Reading file…");
  auto fileFields = InspectionFileFields::make(file, kind, run);
  if (kind == InspectionFileKind::pkg)
    return PKGInspection::inspect(file, std::move(fileFields), progress, run);
  return DMGInspection::inspect(file, std::move(fileFields), progress, run, windowSeen);
}

InspectionCategory InspectionService::category(InspectionCategoryID id, std::string title,
                                               std::vector<InspectionField> fields) {
  return InspectionCategory::make(id, std::move(title), std::move(fields));
}

InspectionReport InspectionService::report(const std::filesystem::path& file,
                                           InspectionFileKind kind,
                                           std::optional<std::string> appName,
                                           std::vector<InspectionCategory> categories) {
  std::vector<InspectionField> fields;
  for (const auto& category : categories)
    fields.insert(fields.end(), category.fields.begin(), category.fields.end());
  auto score = InspectionScore::score(fields, kind);
  return InspectionReport(file, kind, std::move(appName), std::move(categories), score.value,
                          score.verdict, std::move(score.notice), std::chrono::system_clock::now());
}

} // namespace halyard
