#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/DMG/FinderWindowScene.hpp"
#include "core/Inspection/InspectionCategory.hpp"
#include "core/Inspection/InspectionFileFields.hpp"
#include "core/Inspection/InspectionReport.hpp"
#include "core/Inspection/InspectionRunner.hpp"

namespace halyard {

// Inspects one DMG or PKG that a user received and produces its trust report. Nothing is ever
// written to the file; a DMG the user had attached stays attached, one the service attached is
// detached again. No tool failure ends the inspection: every failure becomes a field.
struct InspectionService {
  // Receives one short progress line at a time; may be called from any thread.
  using Progress = std::function<void(const std::string& message)>;
  // Receives a DMG's window as read from its mounted volume (not called when it did not mount).
  using WindowSeen = std::function<void(const FinderWindowScene& window)>;

  static InspectionReport
  inspect(const std::filesystem::path& file, const Progress& progress,
          const InspectionRunner::Function& run = InspectionRunner::standard(),
          const WindowSeen& windowSeen = {});

  // A category with its summary computed from the fields.
  static InspectionCategory category(InspectionCategoryID id, std::string title,
                                     std::vector<InspectionField> fields);

  // Scores the categories' fields and dates the report now.
  static InspectionReport report(const std::filesystem::path& file, InspectionFileKind kind,
                                 std::optional<std::string> appName,
                                 std::vector<InspectionCategory> categories);
};

// The DMG path: signature, Gatekeeper and ticket of the image, then the app inside it.
struct DMGInspection {
  static InspectionReport inspect(const std::filesystem::path& file,
                                  InspectionFileFields fileFields,
                                  const InspectionService::Progress& progress,
                                  const InspectionRunner::Function& run,
                                  const InspectionService::WindowSeen& windowSeen = {});
};

// The PKG path: signature, Gatekeeper and ticket of the package, then its expanded contents.
struct PKGInspection {
  static InspectionReport inspect(const std::filesystem::path& file,
                                  InspectionFileFields fileFields,
                                  const InspectionService::Progress& progress,
                                  const InspectionRunner::Function& run);
};

} // namespace halyard
